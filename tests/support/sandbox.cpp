#include "tests/support/sandbox.h"

#include "platform/path.h"
#include "platform/posix/drive_table.h"
#include "platform/system.h"
#include "platform/text.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
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
}

void Sandbox::SetEnvironment(const char* name, const std::string& value)
{
    const char* previous = std::getenv(name);
    savedEnvironment_.emplace_back(name, previous ? std::optional<std::string>(previous) : std::nullopt);
    ::setenv(name, value.c_str(), 1);
}

Sandbox::~Sandbox()
{
    platform::SetDriveTable(platform::DriveTable::FromEnvironment());
    platform::SetModuleFileName({});
    for (const auto& [name, value] : savedEnvironment_) {
        if (value)
            ::setenv(name.c_str(), value->c_str(), 1);
        else
            ::unsetenv(name.c_str());
    }
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

std::string Sandbox::driveRoot(char letter) const
{
    return root_ + "/" + static_cast<char>(letter | 0x20);
}

std::string Sandbox::host(std::u16string_view windowsPath) const
{
    auto mapped = platform::ToHostPath(windowsPath);
    if (!mapped.ok())
        throw std::runtime_error("path outside the sandbox: " + platform::Utf16ToUtf8(windowsPath));
    return mapped.value();
}

void SandboxTest::SetUp()
{
    sandbox_ = std::make_unique<Sandbox>();
}

void SandboxTest::TearDown()
{
    sandbox_.reset();
}

void WriteHostFile(const Sandbox& sandbox, std::u16string_view windowsPath, std::string_view bytes)
{
    const std::string path = sandbox.host(windowsPath);
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadHostFile(const Sandbox& sandbox, std::u16string_view windowsPath)
{
    std::ifstream in(sandbox.host(windowsPath), std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

} // namespace lockora::testing
