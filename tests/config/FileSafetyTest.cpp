#include "ConfigFileError.h"
#include "ConfigFileIO.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace Corvane;
using namespace Corvane::test;
namespace fs = std::filesystem;

namespace {

// Expects readConfigFile to fail with the path in the error and to leave the object alone.
ConfigFileError expectReadFails(const std::string& path) {
    TarnConfig c;
    c.setMode(2);
    try {
        c.readConfigFile(path);
    } catch (const ConfigFileError& e) {
        EXPECT_EQ(e.path(), path);
        EXPECT_NE(std::string(e.what()).find(path), std::string::npos);
        EXPECT_EQ(c.getMode(), 2);
        EXPECT_FALSE(c.pinHasValue());
        return e;
    }
    ADD_FAILURE() << "no error for " << path;
    return ConfigFileError(path, "");
}

// Lowers the file-size limit so that writes fail part-way with EFBIG, as on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lowered = old_;
        lowered.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }

private:
    rlimit old_{};
    void (*oldHandler_)(int);
};

} // namespace

TEST(ConfigFileSafety, UnreadableFilesRaiseAnErrorAndChangeNothing) {
    TempDir dir;
    expectReadFails(dir.file("missing.xml"));
    expectReadFails(dir.path().string()); // a directory

    const std::string fifo = dir.file("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_NE(expectReadFails(fifo).reason().find("regular"), std::string::npos);

    const std::string big = dir.file("big.xml");
    writeBytes(big, inRoot("<PIN>1</PIN>"));
    fs::resize_file(big, maxConfigFileSize + 1);
    EXPECT_NE(expectReadFails(big).reason().find("larger"), std::string::npos);
}

TEST(ConfigFileSafety, MalformedXmlIsReportedWithItsPosition) {
    TempDir dir;
    const std::string bad = dir.file("bad.xml");
    // Well-formed up to the mismatched tag, so nothing may be taken from the part before it.
    writeBytes(bad, "\xEF\xBB\xBF<TarnConfig>\r\n  <PIN>1</PIN>\r\n  <Mode>Auto</Mdoe>\r\n");
    const ConfigFileError e = expectReadFails(bad);
    ASSERT_TRUE(e.position());
    EXPECT_EQ(e.position()->line, 3u);
    EXPECT_EQ(e.position()->offset, 47u); // at the wrong end-tag name
    EXPECT_EQ(e.position()->column, 15u);
    EXPECT_NE(std::string(e.what()).find("line 3"), std::string::npos);

    for (const char* text : {"", "plain text", "<TarnConfig>", "<a></b>", "<a>&#xD800;<"}) {
        writeBytes(bad, text);
        expectReadFails(bad);
    }
}

TEST(ConfigFileSafety, EntitiesAndDocumentTypesAreNotExpanded) {
    TempDir dir;
    writeBytes(dir.file("secret"), "Valet");
    writeBytes(dir.file("broken.dtd"), "<!ELEMENT");
    const std::string subset =
        "<!ENTITY e SYSTEM \"file://" + dir.file("secret") + "\"><!ENTITY m \"Manual\">";
    // Declared entities are never expanded, and a file that uses one is refused rather than
    // read with the reference as text.
    for (const char* body : {"<Mode>&e;</Mode>", "<PIN>&m;</PIN>"}) {
        TarnConfig c;
        c.setPin("1");
        try {
            c.readConfigBytes("<!DOCTYPE TarnConfig [" + subset + "]>" + inRoot(body), "mem");
            ADD_FAILURE() << body;
        } catch (const ConfigFileError& e) {
            EXPECT_NE(e.reason().find("does not expand"), std::string::npos) << e.reason();
        }
        EXPECT_EQ(c.getPin(), "1");
        EXPECT_FALSE(c.modeHasValue());
    }
    // Declared but unused, with an external subset that is never loaded: read as usual.
    const TarnConfig c = readXml("<!DOCTYPE TarnConfig SYSTEM \"file://" + dir.file("broken.dtd") +
                                 "\" [" + subset + "]>" + inRoot("<PIN>&amp;m;</PIN>"));
    EXPECT_EQ(c.getPin(), "&m;");
}

TEST(ConfigFileSafety, DeepNestingNeitherCrashesNorHides) {
    const int depth = 100000;
    std::string xml = "<TarnConfig>";
    for (int i = 0; i < depth; ++i) {
        xml += "<n>";
    }
    xml += "<Mode>Manual</Mode>";
    for (int i = 0; i < depth; ++i) {
        xml += "</n>";
    }
    EXPECT_EQ(readXml(xml + "</TarnConfig>").getMode(), 1);
    EXPECT_THROW(readXml(xml), ConfigFileError); // unclosed root
}

TEST(ConfigFileSafety, SavingReplacesTheFileAndKeepsItsPermissions) {
    TempDir dir;
    const std::string path = dir.file("c.xml");
    writeBytes(path, std::string(100000, 'x')); // longer than the new content
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

    fullConfig(pointDecimalLocale()).writeConfigFile(path);
    EXPECT_EQ(readBytes(path), expectedFile("full.xml"));
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"c.xml"});

    // A link is followed: the file it names gets the content and the link stays a link.
    const std::string link = dir.file("link.xml");
    fs::create_symlink(path, link);
    TarnConfig small;
    small.setMode(0);
    small.writeConfigFile(link);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(readBytes(path), small.toFileBytes());
    fs::create_symlink("later.xml", dir.file("dangling.xml"));
    small.writeConfigFile(dir.file("dangling.xml"));
    EXPECT_TRUE(fs::is_symlink(dir.file("dangling.xml")));
    EXPECT_EQ(readBytes(dir.file("later.xml")), small.toFileBytes());
}

TEST(ConfigFileSafety, AFailedSaveLeavesTheOldFileAndNoTemporaryFile) {
    TempDir dir;
    const std::string path = dir.file("c.xml");
    const std::string old = expectedFile("minimal.xml");
    writeBytes(path, old);
    const TarnConfig config = fullConfig(pointDecimalLocale());

    {
        FileSizeLimit limit(200); // the new content is 1622 bytes: the write stops part-way
        try {
            config.writeConfigFile(path);
            ADD_FAILURE() << "write past the size limit reported success";
        } catch (const ConfigFileError& e) {
            EXPECT_EQ(e.path(), path);
            EXPECT_NE(e.reason().find("large"), std::string::npos) << e.reason();
        }
    }
    EXPECT_EQ(readBytes(path), old);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"c.xml"});

    // A directory in the way: nothing may be removed from it or left beside it.
    fs::create_directory(dir.file("d.xml"));
    writeBytes(dir.file("d.xml") + "/keep", "k");
    EXPECT_THROW(config.writeConfigFile(dir.file("d.xml")), ConfigFileError);
    EXPECT_EQ(readBytes(dir.file("d.xml") + "/keep"), "k");
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"c.xml", "d.xml"}));

    EXPECT_THROW(config.writeConfigFile(dir.file("no/such/folder.xml")), ConfigFileError);
    EXPECT_THROW(config.writeConfigFile(""), ConfigFileError);
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"c.xml", "d.xml"}));
}
