#include "ProgramSandbox.h"

#include <cstdlib>

namespace fs = std::filesystem;

namespace test {

namespace {

// Makes the sandbox's folders before the variables name them.
const std::string& Prepared(const TempFolder& folder, const fs::path& builtProgram) {
    const fs::path root = folder.Path();
    if (builtProgram.empty()) {
        fs::create_directory(root / "bin");
    } else {
        fs::copy(builtProgram, root / "bin", fs::copy_options::recursive);
        fs::remove_all(root / "bin" / "data");
    }
    fs::create_directory(root / "config");
    fs::create_directory(root / "run");
    // A runtime folder is private to its user.
    fs::permissions(root / "run", fs::perms::owner_all, fs::perm_options::replace);
    return folder.Path();
}

} // namespace

ProgramSandbox::Variable::Variable(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) saved_ = old;
    ::setenv(name, value.c_str(), 1);
}

ProgramSandbox::Variable::~Variable() {
    if (saved_)
        ::setenv(name_, saved_->c_str(), 1);
    else
        ::unsetenv(name_);
}

ProgramSandbox::ProgramSandbox(const fs::path& builtProgram)
    : config_("XDG_CONFIG_HOME", Prepared(folder_, builtProgram) + "/config"),
      runtime_("XDG_RUNTIME_DIR", folder_.Path() + "/run") {}

ProgramSandbox::~ProgramSandbox() = default;

} // namespace test
