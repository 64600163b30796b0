// brimstead: builds, inspects and extracts Brimstead Setup installers.
#include <CLI/CLI.hpp>

#include <iostream>
#include <unistd.h>

#include "builder/build.h"
#include "builder/inspect.h"
#include "builder/project.h"

namespace fs = std::filesystem;

namespace {

// Exit codes.
constexpr int kOk = 0;
constexpr int kProjectErrors = 1;
constexpr int kUsage = 2;
constexpr int kFailed = 3;   // a file could not be read or written
constexpr int kDamaged = 4;  // the installer failed a check

// The engine lies beside the builder unless named.
fs::path DefaultEngine() {
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  return (ec ? fs::path(".") : self.parent_path()) / "brimstead-engine.exe";
}

int Build(const fs::path& projectFile, fs::path out, fs::path engine, bool quiet) {
  builder::Project project;
  builder::Diagnostics diagnostics;
  if (!builder::LoadProject(projectFile, project, diagnostics)) {
    std::cerr << diagnostics.text();
    std::cerr << "brimstead: " << diagnostics.errors.size() << " problem(s) in " << projectFile.string()
              << "; nothing was built\n";
    return kProjectErrors;
  }
  if (out.empty()) out = projectFile.parent_path() / (projectFile.stem().string() + "-setup.exe");
  if (engine.empty()) engine = DefaultEngine();
  if (!quiet) std::cout << "Building " << out.string() << " from " << projectFile.string() << "\n";
  builder::BuildReport report;
  std::string error;
  if (!builder::BuildInstaller(project, engine, out, quiet ? nullptr : &std::cout, report, error)) {
    std::cerr << "brimstead: " << error << "\n";
    return kFailed;
  }
  if (!quiet)
    std::cout << "Wrote " << out.string() << ": " << report.installerSize << " bytes, " << report.items
              << " file(s), " << report.plainSize << " bytes packed into " << report.archiveSize << "\n";
  return kOk;
}

int Inspect(const fs::path& installer, bool json) {
  builder::Value report;
  std::string error;
  const int code = builder::InspectInstaller(installer, report, error);
  if (code < 0) {
    std::cerr << "brimstead: " << error << "\n";
    return kFailed;
  }
  if (json) report.writeJson(std::cout);
  else report.writeText(std::cout);
  return code ? kDamaged : kOk;
}

int Extract(const fs::path& installer, const fs::path& dir) {
  std::string error;
  const int code = builder::ExtractInstaller(installer, dir, std::cout, error);
  if (code < 0) {
    std::cerr << "brimstead: " << error << "\n";
    return kFailed;
  }
  if (code) {
    std::cerr << "brimstead: the installer is damaged (error code " << code << ")\n";
    return kDamaged;
  }
  return kOk;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"brimstead - builds Brimstead Setup installers from a project file, and inspects and extracts them.\n"
               "Exit codes: 0 done, 1 problems in the project, 2 bad command line, 3 a file could not be read or\n"
               "written, 4 the installer is damaged."};
  app.set_version_flag("--version", std::string("brimstead ") + BRIMSTEAD_VERSION + " (engine 42.0)");
  app.require_subcommand(1);

  fs::path project, out, engine, installer, dir;
  bool quiet = false, json = false;
  CLI::App* build = app.add_subcommand("build", "Build an installer from a project file");
  build->add_option("project", project, "The project file (TOML)")->required();
  build->add_option("-o,--output", out, "The installer to write (default: PROJECT-setup.exe beside the project)");
  build->add_option("--engine", engine, "The engine executable (default: brimstead-engine.exe beside brimstead)");
  build->add_flag("-q,--quiet", quiet, "Print nothing but errors");

  CLI::App* inspect = app.add_subcommand("inspect", "Show an installer's settings, files and checksums");
  inspect->add_option("installer", installer, "The installer")->required();
  inspect->add_flag("--json", json, "Print JSON");

  CLI::App* extract = app.add_subcommand("extract", "Write an installer's files into a folder without installing");
  extract->add_option("installer", installer, "The installer")->required();
  extract->add_option("dir", dir, "The folder to write into")->required();

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? kOk : kUsage;
  }
  if (*build) return Build(project, out, engine, quiet);
  if (*inspect) return Inspect(installer, json);
  return Extract(installer, dir);
}
