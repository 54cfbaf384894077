// The sandbox on POSIX: drives C: and D: are folders of a temporary root,
// mapped through the drive table; the registry, system folder and runtime
// folder are folders there too, named by the environment.
#include "tests/support/sandbox.h"

#include "platform/posix/drive_table.h"
#include "platform/system.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace lockora::testing {
namespace {

std::string MakeTempRoot()
{
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/lockora-test-XXXXXX";
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    return pattern;
}

} // namespace

Sandbox::Sandbox() : root_(MakeTempRoot())
{
    namespace fs = std::filesystem;
    fs::create_directories(root_ + "/c/App");
    fs::create_directories(root_ + "/d");
    fs::create_directories(registryFolder());
    fs::create_directories(root_ + "/c/Windows/System32");
    fs::create_directories(root_ + "/run");

    platform::DriveTable drives;
    drives.Map(u'C', root_ + "/c");
    drives.Map(u'D', root_ + "/d");
    platform::SetDriveTable(std::move(drives));
    platform::SetModuleFileName(std::u16string(kModuleDir) + u"\\Lockora.exe");
    SetEnvironment("LOCKORA_REGISTRY", registryFolder());
    SetEnvironment("LOCKORA_SYSTEM_DIR", root_ + "/c/Windows/System32");
    // Named mutexes of this test stay apart from other tests and a running program.
    SetEnvironment("XDG_RUNTIME_DIR", root_ + "/run");
    // The desktop entries of "Add Right-Click Menu" go here.
    SetEnvironment("XDG_DATA_HOME", xdgDataHome());
    SetEnvironment("XDG_CONFIG_HOME", xdgConfigHome());
}

Sandbox::~Sandbox()
{
    platform::SetDriveTable(platform::DriveTable::FromEnvironment());
    platform::SetModuleFileName({});
    RestoreEnvironment();
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

std::string Sandbox::driveRoot(char letter) const
{
    return root_ + "/" + static_cast<char>(letter | 0x20);
}

bool UnderWine()
{
    return false;
}

void SetProcessEnvironment(const std::string& name, const std::optional<std::string>& value)
{
    if (value)
        ::setenv(name.c_str(), value->c_str(), 1);
    else
        ::unsetenv(name.c_str());
}

} // namespace lockora::testing
