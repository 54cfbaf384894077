#include "tests/support/sandbox.h"

#include "platform/path.h"
#include "platform/text.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace lockora::testing {
namespace {

// Host paths are UTF-8 on every system, whatever its narrow code page.
std::filesystem::path HostFilePath(const std::string& hostPath)
{
    return std::filesystem::path(std::u8string(hostPath.begin(), hostPath.end()));
}

} // namespace

void Sandbox::SetEnvironment(const char* name, const std::string& value)
{
    const char* previous = std::getenv(name);
    savedEnvironment_.emplace_back(name, previous ? std::optional<std::string>(previous) : std::nullopt);
    SetProcessEnvironment(name, value);
}

void Sandbox::RestoreEnvironment()
{
    for (const auto& [name, value] : savedEnvironment_)
        SetProcessEnvironment(name, value);
    savedEnvironment_.clear();
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
    const std::filesystem::path path = HostFilePath(sandbox.host(windowsPath));
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadHostFile(const Sandbox& sandbox, std::u16string_view windowsPath)
{
    std::ifstream in(HostFilePath(sandbox.host(windowsPath)), std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

} // namespace lockora::testing
