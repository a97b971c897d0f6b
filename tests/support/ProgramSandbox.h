#pragma once

#include "TempFolder.h"
#include "support/RecordingMessageBoxes.h"

#include <filesystem>
#include <optional>
#include <string>

namespace test {

// Where a test runs the program, in a temporary folder removed at the end: a program folder
// (a copy of the built one without its data, or an empty one), a configuration folder and a
// private runtime folder. While it lasts XDG_CONFIG_HOME and XDG_RUNTIME_DIR name these two,
// for this process and the programs it starts, and message boxes are recorded, not shown.
class ProgramSandbox {
public:
    // `builtProgram`: the folder the build put the program in; empty: an empty program folder.
    explicit ProgramSandbox(const std::filesystem::path& builtProgram = {});
    ~ProgramSandbox();
    ProgramSandbox(const ProgramSandbox&) = delete;
    ProgramSandbox& operator=(const ProgramSandbox&) = delete;

    std::filesystem::path Root() const { return folder_.Path(); }
    std::filesystem::path ProgramFolder() const { return Root() / "bin"; }
    std::filesystem::path Program() const { return ProgramFolder() / "zelplus"; }
    std::filesystem::path ConfigFolder() const { return Root() / "config"; }
    std::filesystem::path ConfigFile() const { return ConfigFolder() / "zelplus.ini"; }
    std::filesystem::path RuntimeFolder() const { return Root() / "run"; }

    RecordingMessageBoxes boxes;

private:
    // Sets an environment variable for the sandbox's lifetime.
    class Variable {
    public:
        Variable(const char* name, const std::string& value);
        ~Variable();
        Variable(const Variable&) = delete;
        Variable& operator=(const Variable&) = delete;

    private:
        const char* name_;
        std::optional<std::string> saved_;
    };

    TempFolder folder_;
    Variable config_;
    Variable runtime_;
};

} // namespace test
