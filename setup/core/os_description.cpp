#include "setup/core/os_description.h"

#include "lib/format.h"

namespace setup {

namespace {

struct Edition {
  uint32_t type;
  const char* text;
};

constexpr Edition kEditions[] = {
    {1, " Ultimate"},
    {2, " Home Basic"},
    {3, " Home Premium"},
    {4, " Enterprise"},
    {5, " Home Basic N"},
    {6, " Business"},
    {7, " Server Standard"},
    {8, " Datacenter"},
    {9, " Small Business Server"},
    {10, " Enterprise"},
    {11, " Starter"},
    {12, " Datacenter (core)"},
    {13, " Server Standard (core)"},
    {14, " Enterprise (core)"},
    {15, " Enterprise for Itanium"},
    {16, " Business N"},
    {17, " Web Server"},
    {18, " Cluster Server"},
    {20, " Storage Server Express"},
    {21, " Storage Server Standard"},
    {22, " Storage Server Workgroup"},
    {23, " Storage Server Enterprise"},
    {24, " for Windows Essential Server Solutions"},
    {25, " Small Business Server Premium"},
    {26, " Home Premium N"},
    {27, " Enterprise N"},
    {28, " Ultimate N"},
    {29, " Web Server (core)"},
    {30, " Essential Business Server Management Server"},
    {31, " Essential Business Server Security Server"},
    {32, " Essential Business Server Messaging Server"},
    {33, " Server Foundation"},
    {35, " for Windows Essential Server Solutions (without Hyper-V)"},
    {36, " Server Standard (without Hyper-V)"},
    {37, " Server Datacenter (without Hyper-V)"},
    {38, " Server Enterprise (without Hyper-V)"},
    {39, " Server Datacenter (without Hyper-V) (core)"},
    {40, " Server Standard (without Hyper-V) (core)"},
    {41, " Server Enterprise (without Hyper-V) (core)"},
    {42, " Hyper-V Server"},
    {43, " Storage Server Express (core)"},
    {44, " Storage Server Standard (core)"},
    {45, " Storage Server Workgroup (core)"},
    {46, " Storage Server Enterprise (core)"},
    {47, " Starter N"},
    {48, " Professional"},
    {49, " Professional N"},
    {56, " MultiPoint Server"},
    {57, " MultiPoint Server (core)"},
    {63, " Small Business Server Premium (core)"},
    {64, " Cluster Server (without Hyper-V)"},
};

constexpr uint32_t kHomeServer2011 = 0x22;

// Version name and, unless edition details are left out, the suite and metric words.
vk::String VersionName(const OsFacts& f, bool shortForm, bool editions) {
  const auto suite = [&](uint32_t bit) { return (f.suiteMask & bit) != 0; };
  vk::String s;
  switch (f.platform) {
    case kPlatformWin32s:
      return vk::Format("%d.%d", f.major, f.minor);
    case kPlatformWindows9x:
      if (f.major != 4) return vk::Format("9x %d.%d", f.major, f.minor);
      if (f.minor < 10) {
        s = "95";
        if (editions && f.build == 1111) s += " OSR2";
      } else if (f.minor < 90) {
        s = "98";
        if (editions && f.build == 2222) s += " SE";
      } else {
        s = "ME";
      }
      return s;
    case kPlatformNT:
      break;
    default:
      return {};
  }

  const bool workstation = f.isWorkstation();
  if (f.major == 5) {
    switch (f.minor) {
      case 0:
        s = "2000";
        if (editions) {
          if (workstation) s += " Professional";
          else if (suite(kSuiteEnterprise)) s += " Advanced Server";
          else if (suite(kSuiteDatacenter)) s += " Datacenter Server";
          else s += " Server";
        }
        return s;
      case 1:
        s = "XP";
        if (editions) {
          s += suite(kSuitePersonal) ? " Home" : " Professional";
          if (suite(kSuiteEmbeddedNT)) s += " Embedded";
          if (f.mediaCenter) s += " Media Center";
          if (f.starter) s += " Starter";
          if (f.tabletPc) s += " Tablet PC";
        }
        return s;
      case 2:
        if (suite(kSuiteHomeServer)) return shortForm ? "XP" : "Home Server";
        if (workstation && f.is64Bit()) return editions ? "XP Professional" : "XP";
        if (shortForm) {
          s = "2003";
        } else {
          s = suite(kSuiteStorageServer) ? "Storage Server 2003" : "Server 2003";
          if (f.serverR2) s += " R2";
        }
        if (editions) {
          if (suite(kSuiteEnterprise)) s += " Enterprise";
          if (suite(kSuiteDatacenter)) s += " Datacenter";
          if (suite(kSuiteBlade)) s += " Web";
          if (suite(kSuiteComputeServer)) s += " Compute Cluster";
        }
        return s;
      default:
        return vk::Format("NT 5.%d", f.minor);
    }
  }

  if (f.major == 6) {
    // The suite words of 6.0 and 6.1 servers stand only where GetProductInfo names no edition.
    const auto serverSuites = [&](vk::String name) {
      if (editions && f.productInfo == 0) {
        if (suite(kSuiteDatacenter)) name += " Datacenter";
        if (suite(kSuiteEnterprise)) name += " Enterprise";
      }
      return name;
    };
    switch (f.minor) {
      case 0:
        if (workstation) {
          s = "Vista";
          if (editions && f.productInfo == 0 && suite(kSuitePersonal)) s += " Home";
          return s;
        }
        return serverSuites(shortForm ? "2008" : "Server 2008");
      case 1:
        if (f.productInfo == kHomeServer2011) return shortForm ? "7" : "Home Server 2011";
        if (workstation) return "7";
        return serverSuites(shortForm ? "2008" : "Server 2008 R2");
      case 2:
        if (workstation) return "8";
        return shortForm ? "2012" : "Server 2012";
      case 3:
        if (workstation) return "8.1";
        return shortForm ? "2012" : "Server 2012 R2";
      case 4:
        return shortForm ? "10" : "10 alpha";
      default:
        return shortForm ? vk::String("NT6") : vk::Format("NT 6.%d", f.minor);
    }
  }

  if (f.major == 10) {
    if (workstation) return f.build < 21996 ? "10" : "11";
    if (f.build < 17733) return shortForm ? "2016" : "Server 2016";
    if (f.build <= 20297) return shortForm ? "2019" : "Server 2019";
    return shortForm ? "2022" : "Server 2022";
  }

  return vk::Format("NT %d.%d", f.major, f.minor);
}

}  // namespace

const char* OsEditionName(uint32_t productInfo) {
  for (const Edition& e : kEditions)
    if (e.type == productInfo) return e.text;
  return "";
}

vk::String DescribeOperatingSystem(const OsFacts& facts, uint32_t flags) {
  const bool shortForm = (flags & kOsShort) != 0;
  const bool editions = !shortForm && !(flags & kOsNoEdition);

  vk::String text;
  if (!shortForm) {
    if (!facts.emulatorVersion.empty()) text += "WINE " + facts.emulatorVersion + " reporting as ";
    text += "Windows ";
  }
  text += VersionName(facts, shortForm, editions);

  if (editions) {
    if (facts.major > 5) text += OsEditionName(facts.productInfo);
    if (facts.is64Bit()) text += " x64";
  }

  if (!shortForm) {
    if (!(flags & kOsNoServicePack) && !facts.servicePack.empty()) {
      if (facts.servicePack[0] != ' ') text += ' ';
      text += facts.servicePack;
    }
    if (facts.platform == kPlatformNT && facts.major == 10 && facts.minor == 0 &&
        facts.isWorkstation() && !facts.releaseId.empty()) {
      text += ' ';
      text += facts.releaseId;
    }
  }

  size_t end = text.size();
  while (end > 0 && (text[end - 1] == ' ' || text[end - 1] == '\t' || text[end - 1] == '\r' ||
                     text[end - 1] == '\n'))
    --end;
  text.resize(end);
  return text;
}

}  // namespace setup
