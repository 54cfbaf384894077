// Names of new containers and of restored items: the first free name.
#include "crypto/item_names.h"
#include "crypto/item_output.h"
#include "platform/folders.h"
#include "tests/support/sandbox.h"

#include <gtest/gtest.h>

namespace lockora::crypto {
namespace {

using lockora::testing::WriteHostFile;

class ItemNamesTest : public lockora::testing::SandboxTest {
protected:
    void Touch(std::u16string_view path) { WriteHostFile(sandbox(), path, "x"); }

    std::u16string EncryptName(std::u16string path)
    {
        MakeEncryptName(path);
        return path;
    }

    std::u16string DecryptName(std::u16string path)
    {
        MakeDecryptName(path);
        return path;
    }
};

TEST_F(ItemNamesTest, ContainerNameKeepsTheExtensionAndCountsBeforeXep)
{
    EXPECT_EQ(EncryptName(u"C:\\a.txt"), u"C:\\a.txt.xep");
    Touch(u"C:\\a.txt.xep");
    EXPECT_EQ(EncryptName(u"C:\\a.txt"), u"C:\\a.txt(1).xep");
    Touch(u"C:\\a.txt(1).xep");
    EXPECT_EQ(EncryptName(u"C:\\a.txt"), u"C:\\a.txt(2).xep");
    // A folder of that name takes the name as well.
    ASSERT_TRUE(platform::CreateDirectory(u"C:\\docs.xep").ok());
    EXPECT_EQ(EncryptName(u"C:\\docs"), u"C:\\docs(1).xep");
}

TEST_F(ItemNamesTest, RestoredNameDropsXepAndAnyCounterBeforeIt)
{
    EXPECT_EQ(DecryptName(u"C:\\a.txt.xep"), u"C:\\a.txt");
    EXPECT_EQ(DecryptName(u"C:\\a.txt(1).xep"), u"C:\\a.txt");
    EXPECT_EQ(DecryptName(u"C:\\docs(12).xep"), u"C:\\docs");
    // Only a final, lower-case ".xep" is a container suffix.
    EXPECT_EQ(DecryptName(u"C:\\a.xep.txt"), u"C:\\a.xep.txt");
}

TEST_F(ItemNamesTest, TakenRestoredNameCountsBeforeTheExtension)
{
    Touch(u"C:\\a.txt");
    EXPECT_EQ(DecryptName(u"C:\\a.txt.xep"), u"C:\\a(1).txt");
    Touch(u"C:\\a(1).txt");
    EXPECT_EQ(DecryptName(u"C:\\a.txt.xep"), u"C:\\a(2).txt");
    // A counter already before the extension is replaced, starting at 1.
    Touch(u"C:\\b(3).txt");
    EXPECT_EQ(DecryptName(u"C:\\b(3).txt.xep"), u"C:\\b(1).txt");
}

TEST_F(ItemNamesTest, TakenRestoredNameWithoutExtension)
{
    ASSERT_TRUE(platform::CreateDirectory(u"C:\\docs").ok());
    EXPECT_EQ(DecryptName(u"C:\\docs.xep"), u"C:\\docs(1)");
    // A final counter is replaced.
    Touch(u"C:\\v(4)");
    EXPECT_EQ(DecryptName(u"C:\\v(4)"), u"C:\\v(1)");
    // Capitals are no container suffix: the name is its own, extension XEP.
    Touch(u"C:\\x.XEP");
    EXPECT_EQ(DecryptName(u"C:\\x.XEP"), u"C:\\x(1).XEP");
}

TEST_F(ItemNamesTest, ExtensionsAreAsciiWordCharacters)
{
    // "ö" is no word character, so ".tö" is no extension: the counter goes
    // at the end; a dot inside a folder name is no extension either.
    Touch(u"C:\\a.t\u00f6");
    EXPECT_EQ(DecryptName(u"C:\\a.t\u00f6.xep"), u"C:\\a.t\u00f6(1)");
    ASSERT_TRUE(platform::CreateDirectory(u"C:\\my.dir").ok());
    ASSERT_TRUE(platform::CreateDirectory(u"C:\\my.dir\\docs").ok());
    EXPECT_EQ(DecryptName(u"C:\\my.dir\\docs.xep"), u"C:\\my.dir\\docs(1)");
}

TEST_F(ItemNamesTest, NameTakenAfterItWasChosenMovesToTheNextFreeName)
{
    // The name was free when chosen; something took it before the create.
    std::u16string path = EncryptName(u"C:\\a.txt");
    Touch(u"C:\\a.txt.xep");
    auto created = CreateNamedOutput(path, u"C:\\a.txt", MakeEncryptName);
    ASSERT_TRUE(created.ok()) << created.code();
    EXPECT_EQ(path, u"C:\\a.txt(1).xep");
    EXPECT_EQ(lockora::testing::ReadHostFile(sandbox(), u"C:\\a.txt.xep"), "x");
}

TEST_F(ItemNamesTest, OutputThatCannotBeCreatedIsNotRetried)
{
    std::u16string path = u"C:\\missing\\a.txt.xep";
    auto created = CreateNamedOutput(path, u"C:\\missing\\a.txt", MakeEncryptName);
    EXPECT_EQ(created.code(), 3u);
    EXPECT_EQ(path, u"C:\\missing\\a.txt.xep");
}

} // namespace
} // namespace lockora::crypto
