// The .reg store and the registry value functions: the byte-exact file
// format, what a malformed file does (error naming the line, key and file
// untouched), other keys' sections surviving a rewrite, and value kinds.
#include "framework/regfile.h"
#include "framework/toolbox.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

const std::string kKey = "HKEY_CURRENT_USER\\Software\\ZOR\\CMM Protocols\\Test";

RegFileKey SampleKey() {
    RegFileKey key(kKey);
    EXPECT_EQ(WriteRegistryValue(&key, "CosmosPath", std::string("C:\\COSMOS\\")), TRUE);
    EXPECT_EQ(WriteRegistryValue(&key, "Quote \"me\"", std::string("say \"hi\"")), TRUE);
    EXPECT_EQ(WriteRegistryValue(&key, "Empty", std::string()), TRUE);
    EXPECT_EQ(WriteRegistryValue(&key, "GeoPak Local", 1), TRUE);
    EXPECT_EQ(WriteRegistryValue(&key, "Big", -1), TRUE);
    EXPECT_EQ(WriteRegistryValue(&key, "REMOTESTARTTIMEOUT", 12000), TRUE);
    return key;
}

TEST(RegFile, ValueKindsDefaultsAndRefusals) {
    RegFileKey key = SampleKey();
    // A value of the other kind is as good as missing: the default comes back.
    EXPECT_EQ(GetRegistryValue(&key, "GeoPak Local", std::string("dflt")), "dflt");
    EXPECT_EQ(GetRegistryValue(&key, "CosmosPath", 42u), 42u);
    EXPECT_EQ(GetRegistryValue(&key, "Missing", 5u), 5u);
    // No key at all: defaults, and writes fail.
    EXPECT_EQ(GetRegistryValue(nullptr, "CosmosPath", std::string("d")), "d");
    EXPECT_EQ(WriteRegistryValue(nullptr, "CosmosPath", std::string("x")), FALSE);
    EXPECT_EQ(WriteRegistryValue(nullptr, "DEBUG", 1), FALSE);
    // Rewriting changes the kind in place, keeping the value's position.
    EXPECT_EQ(WriteRegistryValue(&key, "cosmospath", 3), TRUE);
    ASSERT_FALSE(key.Values().empty());
    EXPECT_TRUE(key.Values().front().second.isDword);
    EXPECT_EQ(key.Values().front().first, "CosmosPath");
    // Texts the line format cannot carry are refused, not mangled.
    EXPECT_EQ(WriteRegistryValue(&key, "Bad", std::string("two\r\nlines")), FALSE);
    EXPECT_EQ(WriteRegistryValue(&key, "", std::string("x")), FALSE);
    EXPECT_EQ(key.Values().size(), 6u);
}

TEST(RegFile, ReaderAcceptsLfCommentsAndOtherKeysAndKeepsThem) {
    RegFileKey key(kKey);
    key.FromText(testsupport::Golden("regfile_mixed_lf.reg"), "mixed.reg");
    EXPECT_EQ(GetRegistryValue(&key, "DEBUG", 0u), 12u) << "a repeated value: the last counts";
    ASSERT_EQ(key.Values().size(), 1u);
    WriteRegistryValue(&key, "New", std::string("v"));
    EXPECT_EQ(key.ToText(), testsupport::Golden("regfile_mixed_rewritten.reg"));
}

TEST(RegFile, MalformedTextNamesTheLineAndChangesNothing) {
    for (const std::vector<std::string>& row : testsupport::GoldenRows("regfile_refusals.txt")) {
        const std::string text = row.at(0);
        const int line = std::stoi(row.at(1));
        RegFileKey key("K");
        key.SetDword("Kept", 7);
        try {
            key.FromText(text, "store.reg");
            ADD_FAILURE() << "accepted: " << text;
        } catch (const RegFileError& e) {
            EXPECT_EQ(e.line(), line) << text << " -> " << e.what();
            EXPECT_EQ(std::string(e.what()).rfind("store.reg:" + std::to_string(line) + ": ", 0), 0u) << e.what();
        }
        ASSERT_EQ(key.Values().size(), 1u) << text;
        EXPECT_EQ(GetRegistryValue(&key, "Kept", 0u), 7u) << text;
    }
    std::string longLine = "REGEDIT4\r\n[K]\r\n\"A\"=\"" + std::string(40000, 'x') + "\"\r\n";
    RegFileKey key("K");
    EXPECT_THROW(key.FromText(longLine, "long.reg"), RegFileError);
}

TEST(RegFile, SavesTheGoldenBytesAtomicallyAndReadsThemBack) {
    testsupport::Sandbox sandbox;
    sandbox.MakeDir("C:\\STORE");
    const std::string folder = sandbox.DriveC() + "/STORE", path = folder + "/settings.reg";
    RegFileKey key(kKey);
    key.Load(path);  // no file yet: an empty key
    EXPECT_TRUE(key.Values().empty());
    SampleKey().Save(path);
    EXPECT_EQ(sandbox.ReadFile("C:\\STORE\\settings.reg"), testsupport::Golden("regfile_values.reg"));
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        EXPECT_EQ(entry.path().filename().string(), "settings.reg") << "temporary file left behind";
    key.Load(path);
    EXPECT_EQ(key.ToText(), testsupport::Golden("regfile_values.reg"));
    EXPECT_EQ(GetRegistryValue(&key, "cosmospath", std::string("x")), "C:\\COSMOS\\")
        << "value names match without regard to case";
    EXPECT_EQ(GetRegistryValue(&key, "Big", 7u), 0xFFFFFFFFu);

    // A folder where the file should be is an error, not an empty key.
    EXPECT_THROW(key.Load(folder), RegFileError);
    EXPECT_THROW(key.Save(sandbox.Root() + "/no/such/folder/x.reg"), RegFileError);
}

// Files of a current regedit (version 5.00, UTF-16LE with a byte order mark,
// or UTF-8) are written back in their own format; a read-only file is
// refused and left as it was; a file reached through a symbolic link stays a
// link and its target gets the values.
TEST(RegFile, RegeditExportsReadOnlyAndLinkedFilesKeepTheirForm) {
    testsupport::Sandbox sandbox;
    const std::string text = "Windows Registry Editor Version 5.00\r\n\r\n[" + kKey +
                             "]\r\n\"CosmosPath\"=\"E:\\\\VENDOR\\\\\"\r\n\r\n";
    std::string utf16 = "\xFF\xFE";
    for (char c : text) utf16 += std::string{c, '\0'};
    auto rewrite = [&](const std::string& file) {
        RegFileKey key(kKey);
        key.Load(sandbox.DriveC() + "/" + file);
        EXPECT_EQ(GetRegistryValue(&key, "CosmosPath", std::string()), "E:\\VENDOR\\") << file;
        WriteRegistryValue(&key, "CosmosPath", std::string("D:\\CMM\\"));
        key.Save(sandbox.DriveC() + "/" + file);
    };
    const std::string wanted = "\"CosmosPath\"=\"D:\\\\CMM\\\\\"";
    for (const std::string& bytes : {utf16, text}) {
        sandbox.WriteFile("C:\\export.reg", bytes);
        rewrite("export.reg");
        const std::string after = sandbox.ReadFile("C:\\export.reg");
        const bool wide = bytes == utf16;
        ASSERT_EQ(after.compare(0, 2, "\xFF\xFE") == 0, wide);
        std::string narrow;  // the test's own reading: every other byte of ASCII UTF-16LE
        for (size_t i = 2; wide && i < after.size(); i += 2) narrow += after[i];
        const std::string readBack = wide ? narrow : after;
        EXPECT_EQ(readBack.rfind("Windows Registry Editor Version 5.00\r\n", 0), 0u) << readBack;
        EXPECT_NE(readBack.find(wanted), std::string::npos) << readBack;
    }
    sandbox.WriteFile("C:\\readonly.reg", text);
    namespace fs = std::filesystem;
    fs::permissions(sandbox.DriveC() + "/readonly.reg", fs::perms::owner_read | fs::perms::group_read |
                                                            fs::perms::others_read);
    EXPECT_THROW(rewrite("readonly.reg"), RegFileError);
    EXPECT_EQ(sandbox.ReadFile("C:\\readonly.reg"), text) << "a read-only store must be left as it was";
    if (testsupport::RunsOnWin32()) return;  // links need rights there
    sandbox.WriteFile("C:\\real.reg", text);
    fs::create_symlink(sandbox.DriveC() + "/real.reg", sandbox.DriveC() + "/linked.reg");
    rewrite("linked.reg");
    EXPECT_TRUE(fs::is_symlink(sandbox.DriveC() + "/linked.reg")) << "the link was replaced by a file";
    EXPECT_NE(sandbox.ReadFile("C:\\real.reg").find(wanted), std::string::npos);
}

}  // namespace
