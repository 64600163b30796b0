#include <gtest/gtest.h>

#include "setup/core/os_description.h"

namespace {

using namespace setup;

OsFacts Nt(uint32_t major, uint32_t minor, uint32_t build, uint8_t type) {
  OsFacts f;
  f.platform = kPlatformNT;
  f.major = major;
  f.minor = minor;
  f.build = build;
  f.productType = type;
  return f;
}

OsFacts With(OsFacts f, auto change) {
  change(f);
  return f;
}

constexpr uint8_t kWks = kProductWorkstation;
constexpr uint8_t kSrv = kProductServer;

TEST(OsDescription, LongFormTable) {
  struct Case {
    const char* name;
    OsFacts facts;
    const char* expected;
  };
  const auto x64 = [](OsFacts& f) { f.processorArchitecture = kArchitectureAmd64; };
  const Case cases[] = {
      {"10 pro 22H2", With(Nt(10, 0, 19045, kWks), [](OsFacts& f) {
         f.processorArchitecture = kArchitectureAmd64;
         f.productInfo = 48;
         f.releaseId = "2009";
       }),
       "Windows 10 Professional x64 2009"},
      {"11 by build", With(Nt(10, 0, 22631, kWks), [](OsFacts& f) { f.productInfo = 4; }),
       "Windows 11 Enterprise"},
      {"10 last build", Nt(10, 0, 21995, kWks), "Windows 10"},
      {"server 2016", Nt(10, 0, 17732, kSrv), "Windows Server 2016"},
      {"server 2019 low", Nt(10, 0, 17733, kSrv), "Windows Server 2019"},
      {"server 2019 high", Nt(10, 0, 20297, kSrv), "Windows Server 2019"},
      {"server 2022", With(Nt(10, 0, 20348, kSrv), [](OsFacts& f) { f.productInfo = 7; }),
       "Windows Server 2022 Server Standard"},
      {"release id only on workstation",
       With(Nt(10, 0, 17763, kSrv), [](OsFacts& f) { f.releaseId = "1809"; }),
       "Windows Server 2019"},
      {"domain controller is a server", Nt(10, 0, 14393, kProductDomainController),
       "Windows Server 2016"},
      {"7 sp1", With(Nt(6, 1, 7601, kWks), [](OsFacts& f) {
         f.productInfo = 1;
         f.servicePack = "Service Pack 1";
       }),
       "Windows 7 Ultimate Service Pack 1"},
      {"service pack with its own blank",
       With(Nt(6, 1, 7601, kWks), [](OsFacts& f) { f.servicePack = " SP1 \r\n"; }),
       "Windows 7 SP1"},
      {"home server 2011", With(Nt(6, 1, 7601, kSrv), [](OsFacts& f) { f.productInfo = 0x22; }),
       "Windows Home Server 2011"},
      {"2008 r2 suites without product info",
       With(Nt(6, 1, 7600, kSrv), [](OsFacts& f) { f.suiteMask = kSuiteDatacenter | kSuiteEnterprise; }),
       "Windows Server 2008 R2 Datacenter Enterprise"},
      {"2008 product info replaces suites", With(Nt(6, 0, 6002, kSrv), [](OsFacts& f) {
         f.suiteMask = kSuiteEnterprise;
         f.productInfo = 10;
       }),
       "Windows Server 2008 Enterprise"},
      {"vista home by suite",
       With(Nt(6, 0, 6000, kWks), [](OsFacts& f) { f.suiteMask = kSuitePersonal; }),
       "Windows Vista Home"},
      {"vista product info wins",
       With(Nt(6, 0, 6000, kWks), [](OsFacts& f) { f.suiteMask = kSuitePersonal; f.productInfo = 3; }),
       "Windows Vista Home Premium"},
      {"8", Nt(6, 2, 9200, kWks), "Windows 8"},
      {"2012", Nt(6, 2, 9200, kSrv), "Windows Server 2012"},
      {"8.1", Nt(6, 3, 9600, kWks), "Windows 8.1"},
      {"2012 r2", Nt(6, 3, 9600, kSrv), "Windows Server 2012 R2"},
      {"10 alpha", Nt(6, 4, 9841, kWks), "Windows 10 alpha"},
      {"nt 6.7", Nt(6, 7, 1, kWks), "Windows NT 6.7"},
      {"unlisted edition", With(Nt(6, 1, 7600, kWks), [](OsFacts& f) { f.productInfo = 19; }),
       "Windows 7"},
      {"2000 pro", Nt(5, 0, 2195, kWks), "Windows 2000 Professional"},
      {"2000 advanced",
       With(Nt(5, 0, 2195, kSrv), [](OsFacts& f) { f.suiteMask = kSuiteEnterprise | kSuiteDatacenter; }),
       "Windows 2000 Advanced Server"},
      {"2000 datacenter", With(Nt(5, 0, 2195, kSrv), [](OsFacts& f) { f.suiteMask = kSuiteDatacenter; }),
       "Windows 2000 Datacenter Server"},
      {"2000 server", Nt(5, 0, 2195, kSrv), "Windows 2000 Server"},
      {"xp home sp3", With(Nt(5, 1, 2600, kWks), [](OsFacts& f) {
         f.suiteMask = kSuitePersonal;
         f.servicePack = "Service Pack 3";
       }),
       "Windows XP Home Service Pack 3"},
      {"xp every word", With(Nt(5, 1, 2600, kWks), [](OsFacts& f) {
         f.suiteMask = kSuiteEmbeddedNT;
         f.mediaCenter = f.starter = f.tabletPc = true;
       }),
       "Windows XP Professional Embedded Media Center Starter Tablet PC"},
      {"xp x64", With(Nt(5, 2, 3790, kWks), x64), "Windows XP Professional x64"},
      {"home server", With(Nt(5, 2, 3790, kSrv), [](OsFacts& f) { f.suiteMask = kSuiteHomeServer; }),
       "Windows Home Server"},
      {"2003 r2 all suites", With(Nt(5, 2, 3790, kSrv), [](OsFacts& f) {
         f.serverR2 = true;
         f.suiteMask = kSuiteEnterprise | kSuiteDatacenter | kSuiteBlade | kSuiteComputeServer;
       }),
       "Windows Server 2003 R2 Enterprise Datacenter Web Compute Cluster"},
      {"storage server 2003",
       With(Nt(5, 2, 3790, kSrv), [](OsFacts& f) { f.suiteMask = kSuiteStorageServer; }),
       "Windows Storage Server 2003"},
      {"nt 5.3", Nt(5, 3, 1, kWks), "Windows NT 5.3"},
      {"nt 4.0", Nt(4, 0, 1381, kWks), "Windows NT 4.0"},
      {"nt 7.1", Nt(7, 1, 1, kWks), "Windows NT 7.1"},
      {"95 osr2", With(Nt(4, 0, 1111, 0), [](OsFacts& f) { f.platform = kPlatformWindows9x; }),
       "Windows 95 OSR2"},
      {"98 se", With(Nt(4, 10, 2222, 0), [](OsFacts& f) { f.platform = kPlatformWindows9x; }),
       "Windows 98 SE"},
      {"98", With(Nt(4, 10, 1998, 0), [](OsFacts& f) { f.platform = kPlatformWindows9x; }),
       "Windows 98"},
      {"me", With(Nt(4, 90, 3000, 0), [](OsFacts& f) { f.platform = kPlatformWindows9x; }),
       "Windows ME"},
      {"9x 5.0", With(Nt(5, 0, 1, 0), [](OsFacts& f) { f.platform = kPlatformWindows9x; }),
       "Windows 9x 5.0"},
      {"win32s", With(Nt(3, 11, 1, 0), [](OsFacts& f) { f.platform = kPlatformWin32s; }),
       "Windows 3.11"},
      {"unknown platform", With(Nt(10, 0, 1, kWks), [](OsFacts& f) { f.platform = 7; }), "Windows"},
      {"wine prefix", With(Nt(10, 0, 19045, kWks), [](OsFacts& f) {
         f.emulatorVersion = "9.0";
         f.processorArchitecture = kArchitectureIa64;
       }),
       "WINE 9.0 reporting as Windows 10 x64"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(DescribeOperatingSystem(c.facts, 0), c.expected) << c.name;
}

TEST(OsDescription, FlagsLeaveOutParts) {
  OsFacts xp = Nt(5, 1, 2600, kWks);
  xp.suiteMask = kSuitePersonal;
  xp.servicePack = "Service Pack 3";
  xp.emulatorVersion = "8.0";
  xp.processorArchitecture = kArchitectureAmd64;

  OsFacts ten = Nt(10, 0, 19045, kWks);
  ten.productInfo = 48;
  ten.processorArchitecture = kArchitectureAmd64;
  ten.releaseId = "2009";
  ten.servicePack = "SP9";

  OsFacts r2 = Nt(5, 2, 3790, kSrv);
  r2.serverR2 = true;
  r2.suiteMask = kSuiteEnterprise | kSuiteStorageServer;

  struct Case {
    const char* name;
    const OsFacts& facts;
    uint32_t flags;
    const char* expected;
  };
  const Case cases[] = {
      {"xp no sp", xp, kOsNoServicePack, "WINE 8.0 reporting as Windows XP Home x64"},
      {"xp no edition", xp, kOsNoEdition, "WINE 8.0 reporting as Windows XP Service Pack 3"},
      {"xp short", xp, kOsShort, "XP"},
      {"10 no sp keeps release", ten, kOsNoServicePack, "Windows 10 Professional x64 2009"},
      {"10 no edition", ten, kOsNoEdition, "Windows 10 SP9 2009"},
      {"10 short", ten, kOsShort, "10"},
      {"2003 no edition keeps r2", r2, kOsNoEdition, "Windows Storage Server 2003 R2"},
      {"2003 short", r2, kOsShort | kOsNoServicePack, "2003"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(DescribeOperatingSystem(c.facts, c.flags), c.expected) << c.name;
}

TEST(OsDescription, ShortNames) {
  struct Case {
    OsFacts facts;
    const char* expected;
  };
  OsFacts homeServer2011 = Nt(6, 1, 7601, kSrv);
  homeServer2011.productInfo = 0x22;
  OsFacts homeServer = Nt(5, 2, 3790, kSrv);
  homeServer.suiteMask = kSuiteHomeServer;
  OsFacts xp64 = Nt(5, 2, 3790, kWks);
  xp64.processorArchitecture = kArchitectureAmd64;
  const Case cases[] = {
      {Nt(6, 0, 6002, kSrv), "2008"},  {Nt(6, 1, 7601, kSrv), "2008"},
      {Nt(6, 2, 9200, kSrv), "2012"},  {Nt(6, 3, 9600, kSrv), "2012"},
      {Nt(6, 4, 9841, kWks), "10"},    {Nt(6, 9, 1, kWks), "NT6"},
      {Nt(10, 0, 14393, kSrv), "2016"}, {Nt(10, 0, 17763, kSrv), "2019"},
      {Nt(10, 0, 20348, kSrv), "2022"}, {Nt(10, 0, 22000, kWks), "11"},
      {homeServer2011, "7"},           {homeServer, "XP"},
      {xp64, "XP"},                    {Nt(5, 7, 1, kWks), "NT 5.7"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(DescribeOperatingSystem(c.facts, kOsShort), c.expected)
        << c.facts.major << "." << c.facts.minor << " build " << c.facts.build;
}

TEST(OsDescription, EditionTableEdges) {
  EXPECT_STREQ(OsEditionName(64), " Cluster Server (without Hyper-V)");
  EXPECT_STREQ(OsEditionName(35), " for Windows Essential Server Solutions (without Hyper-V)");
  for (uint32_t unlisted : {0u, 19u, 34u, 50u, 58u, 65u, 0xABCDu})
    EXPECT_STREQ(OsEditionName(unlisted), "") << unlisted;
}

}  // namespace
