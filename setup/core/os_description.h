#pragma once
// The operating-system description quoted by the install log header and the %OS% style macros.
// Pure: everything the system tells is gathered once into OsFacts (setup/os_facts.h).
#include <cstdint>

#include "lib/strings.h"

namespace setup {

// The platform identifiers of the system's version record.
enum OsPlatform : uint32_t {
  kPlatformWin32s = 0,
  kPlatformWindows9x = 1,
  kPlatformNT = 2,
};

// The product types of the version record.
enum OsProductType : uint8_t {
  kProductWorkstation = 1,
  kProductDomainController = 2,
  kProductServer = 3,
};

// Suite mask bits read by the description.
enum OsSuite : uint32_t {
  kSuiteEnterprise = 0x0002,
  kSuiteEmbeddedNT = 0x0040,
  kSuiteDatacenter = 0x0080,
  kSuitePersonal = 0x0200,
  kSuiteBlade = 0x0400,
  kSuiteStorageServer = 0x2000,
  kSuiteComputeServer = 0x4000,
  kSuiteHomeServer = 0x8000,
};

// Processor architectures of the native system information that count as 64-bit.
inline constexpr uint16_t kArchitectureIa64 = 6;
inline constexpr uint16_t kArchitectureAmd64 = 9;

struct OsFacts {
  uint32_t major = 0;
  uint32_t minor = 0;
  uint32_t build = 0;
  uint32_t platform = kPlatformNT;
  vk::String servicePack;      // the version record's service-pack text (ANSI code page)
  uint32_t suiteMask = 0;
  uint8_t productType = 0;     // 1 workstation, 2 domain controller, 3 server
  uint32_t productInfo = 0;    // GetProductInfo's type; 0 when major <= 5
  uint16_t processorArchitecture = 0;  // of the native system
  bool wow64 = false;          // this process runs under WOW64
  // GetSystemMetrics values the tables read.
  bool tabletPc = false;       // 86
  bool mediaCenter = false;    // 87
  bool starter = false;        // 88
  bool serverR2 = false;       // 89
  vk::String emulatorVersion;  // wine_get_version's text; empty on Windows
  vk::String releaseId;        // "ReleaseId" under Windows NT\CurrentVersion; empty when none

  bool is64Bit() const {
    return processorArchitecture == kArchitectureAmd64 || processorArchitecture == kArchitectureIa64;
  }
  bool isWorkstation() const { return productType == kProductWorkstation; }
};

// Flag bits of DescribeOperatingSystem.
enum OsDescribeFlag : uint32_t {
  kOsNoServicePack = 1,
  kOsNoEdition = 2,  // no edition, " x64" or suite words
  kOsShort = 4,      // no "Windows " or emulator prefix, short names, no service pack or release
};

// The description as 8-bit text (ANSI code page, like the service-pack text it may quote).
vk::String DescribeOperatingSystem(const OsFacts& facts, uint32_t flags);

// The edition text for a GetProductInfo type; empty for types the table does not list.
const char* OsEditionName(uint32_t productInfo);

}  // namespace setup
