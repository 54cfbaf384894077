// A private world for one test: temporary drives C: and D:, a registry
// folder, a module folder, a system folder (C:\Windows\System32), a runtime
// folder for named mutexes and a power recorder, all undone when the test
// ends. On Windows the drives, registry and system folder are the real ones
// of a throwaway Wine prefix (sandbox_windows.cpp).
#pragma once

#include "tests/support/power_recorder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <utility>
#include <vector>
#include <string>
#include <string_view>

namespace lockora::testing {

class Sandbox {
public:
    Sandbox();
    ~Sandbox();
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    // Host folder that holds everything of this sandbox.
    const std::string& root() const { return root_; }
    // Host folder of a drive ("C" or "D").
    std::string driveRoot(char letter) const;
    // Host path of a Windows-form path below C: or D:.
    std::string host(std::u16string_view windowsPath) const;
    // Registry folder of this sandbox.
    std::string registryFolder() const { return root_ + "/registry"; }
    // The desktop's data and configuration folders (XDG_DATA_HOME, XDG_CONFIG_HOME).
    std::string xdgDataHome() const { return root_ + "/xdg-data"; }
    std::string xdgConfigHome() const { return root_ + "/xdg-config"; }
    // The executable's folder, "C:\App"; its file is "C:\App\Lockora.exe".
    static constexpr const char16_t* kModuleDir = u"C:\\App";
    // Every power action a test requests lands here; nothing is run.
    const PowerRecorder& power() const { return power_.recorder(); }

private:
    // Sets a variable for the test's lifetime; RestoreEnvironment puts back
    // every one it set.
    void SetEnvironment(const char* name, const std::string& value);
    void RestoreEnvironment();

    std::string root_;
    ScopedPowerRecorder power_;
    std::vector<std::pair<std::string, std::optional<std::string>>> savedEnvironment_;
    // On Windows: what the roots of C: and D: held before any test.
    std::set<std::filesystem::path> driveBaseline_;
};

// Base of every test that touches files: SetUp builds a fresh Sandbox.
class SandboxTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    Sandbox& sandbox() { return *sandbox_; }

private:
    std::unique_ptr<Sandbox> sandbox_;
};

// True when the Windows build runs under Wine, where a few answers differ
// from Windows'; each test that sees one says which.
bool UnderWine();

// Sets (or, given nothing, removes) an environment variable of the process.
void SetProcessEnvironment(const std::string& name, const std::optional<std::string>& value);

// Writes bytes to a Windows-form path through the host (test set-up only).
void WriteHostFile(const Sandbox& sandbox, std::u16string_view windowsPath, std::string_view bytes);
std::string ReadHostFile(const Sandbox& sandbox, std::u16string_view windowsPath);

} // namespace lockora::testing
