// Hostile inputs that only the Linux stand-ins see: bytes the decoder must
// survive, string-table "files" that are FIFOs, symlink loops, directories or
// unreadable, tables of 100 MB and 15 MB (time and peak memory measured), and
// registry files edited by hand into shapes the parser must refuse value by
// value.
// Every case first loads good German texts and checks that they stay.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <initializer_list>
#include <optional>
#include <string>

#include "support/loader_access.h"
#include "support/test_files.h"

namespace {

using testsupport::LoaderAccess;
using testsupport::TempDir;

constexpr int kSpam = 14;
constexpr int kGerman = 0x07;
constexpr int kFrench = 0x0c;
const std::wstring kSpamPlaceholder = L"Cannot load string:IDS_SPAM_FOLDER_NAME";

std::string GoodGermanTable() {
    std::string text = "[Strings]\r\n";
    for (const auto& row : LoaderAccess::s_IDStringMapping) {
        text += testsupport::Narrow(row.keyName) + "=Gut " + std::to_string(row.stringID) + "\r\n";
    }
    return text;
}

// A byte-order mark and UTF-16LE code units: text pieces and single units.
struct Utf16Piece {
    Utf16Piece(const wchar_t* text) : text(text) {}               // NOLINT(google-explicit-constructor)
    Utf16Piece(int unit) : text(1, static_cast<wchar_t>(unit)) {} // NOLINT(google-explicit-constructor)
    std::wstring text;
};
std::string Utf16Le(std::initializer_list<Utf16Piece> pieces) {
    std::string bytes = "\xFF\xFE";
    for (const auto& piece : pieces) {
        for (const wchar_t unit : piece.text) {
            bytes += static_cast<char>(unit & 0xFF);
            bytes += static_cast<char>((unit >> 8) & 0xFF);
        }
    }
    return bytes;
}

// A loader holding the good German table, from its own directory.
class HostileFixture : public ::testing::Test {
protected:
    void SetUp() override {
        testsupport::WriteBytes(m_good.file("de.cfg"), GoodGermanTable());
        ASSERT_TRUE(m_loader.LoadAllLanguageStringTable(m_good.wpath().c_str()));
        m_before = m_loader.m_stringTables;
        ASSERT_EQ(m_before.at(kGerman).size(), 24u);
    }
    void ExpectEarlierTextsKept() const {
        EXPECT_TRUE(m_loader.m_stringTables.at(kGerman) == m_before.at(kGerman)) << "an earlier text changed";
    }
    // Every text of fr.cfg is a placeholder: the file could not be read.
    void ExpectFrenchUnreadable() const {
        ASSERT_NE(m_loader.Table(kFrench), nullptr);
        EXPECT_EQ(m_loader.Table(kFrench)->size(), 24u);
        EXPECT_EQ(m_loader.LoadStringW(kFrench, kSpam, false).str(), kSpamPlaceholder);
    }

    TempDir m_good;
    TempDir m_bad;
    LoaderAccess m_loader;
    CUtilStringLoader::StringTableMap m_before;
};

TEST_F(HostileFixture, UndecodableBytesAreReadAsTheirFallbackEncoding) {
    const struct {
        const char* name;
        std::string bytes;
        std::wstring spamText;
    } cases[] = {
        // Not valid UTF-8 as a whole, so the file is Windows-1252 (0x81 is one of its five undefined bytes).
        {"invalid UTF-8", "[Strings]\nIDS_SPAM_FOLDER_NAME=caf\xE9 \xC3\x28 \x81\xFF\n",
         L"caf\u00E9 \u00C3( \u0081\u00FF"},
        {"overlong UTF-8 NUL", "[Strings]\nIDS_SPAM_FOLDER_NAME=a\xC0\x80z\n", L"a\u00C0\u20ACz"},
        {"a UTF-8 BOM then invalid bytes", "\xEF\xBB\xBF[Strings]\nIDS_SPAM_FOLDER_NAME=a\xFF\n", L"a\uFFFD"},
        // Lone surrogates stay as their own code units; an odd last byte is dropped.
        {"lone UTF-16 surrogates",
         Utf16Le({L"[Strings]\nIDS_SPAM_FOLDER_NAME=a", 0xD800, L"z", 0xDC00, 0xDC00, 0xD800, L"\n"}) + "\x01",
         std::wstring{L'a', static_cast<wchar_t>(0xD800), L'z', static_cast<wchar_t>(0xDC00),
                      static_cast<wchar_t>(0xDC00), static_cast<wchar_t>(0xD800)}},
        {"a NUL inside the value", std::string("[Strings]\nIDS_SPAM_FOLDER_NAME=ab") + '\0' + "cd\n", L"ab"},
    };
    for (const auto& hostile : cases) {
        SCOPED_TRACE(hostile.name);
        testsupport::WriteBytes(m_bad.file("fr.cfg"), hostile.bytes);
        testsupport::WriteBytes(m_bad.file("de.cfg"), hostile.bytes);
        LoaderAccess loader = m_loader;
        EXPECT_TRUE(loader.LoadAllLanguageStringTable(m_bad.wpath().c_str()));
        EXPECT_EQ(loader.LoadStringW(kFrench, kSpam, false).str(), hostile.spamText);
        EXPECT_TRUE(loader.m_stringTables.at(kGerman) == m_before.at(kGerman));
    }
}

TEST_F(HostileFixture, FilesThatAreNotRegularFilesGivePlaceholdersWithoutBlocking) {
    const struct {
        const char* name;
        void (*make)(const std::string& path);
    } cases[] = {
        {"a FIFO without a writer", [](const std::string& path) { ASSERT_EQ(mkfifo(path.c_str(), 0644), 0); }},
        {"a symlink to itself", [](const std::string& path) { ASSERT_EQ(symlink(path.c_str(), path.c_str()), 0); }},
        {"a symlink to nowhere",
         [](const std::string& path) { ASSERT_EQ(symlink("/nonexistent/x", path.c_str()), 0); }},
        {"a directory", [](const std::string& path) { testsupport::MakeDirectory(path); }},
        {"/dev/zero", [](const std::string& path) { ASSERT_EQ(symlink("/dev/zero", path.c_str()), 0); }},
    };
    for (const auto& hostile : cases) {
        SCOPED_TRACE(hostile.name);
        TempDir bad;
        hostile.make(bad.file("fr.cfg"));
        hostile.make(bad.file("de.cfg"));
        LoaderAccess loader = m_loader;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_TRUE(loader.LoadAllLanguageStringTable(bad.wpath().c_str()));
        EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 2.0);
        EXPECT_EQ(loader.LoadStringW(kFrench, kSpam, false).str(), kSpamPlaceholder);
        EXPECT_EQ(loader.Table(kFrench)->size(), 24u);
        EXPECT_TRUE(loader.m_stringTables.at(kGerman) == m_before.at(kGerman));
    }
}

// Permissions do not stop root, so as root the load runs in a child process
// that has given up its privileges.
TEST_F(HostileFixture, UnreadableFileGivesPlaceholders) {
    testsupport::WriteBytes(m_bad.file("fr.cfg"), "[Strings]\nIDS_SPAM_FOLDER_NAME=secret\n");
    ASSERT_EQ(chmod(m_bad.file("fr.cfg").c_str(), 0), 0);
    const auto loadAndCheck = [this]() {
        m_loader.LoadAllLanguageStringTable(m_bad.wpath().c_str());
        return m_loader.LoadStringW(kFrench, kSpam, false).str() == kSpamPlaceholder &&
               m_loader.Table(kFrench)->size() == 24u && m_loader.m_stringTables.at(kGerman) == m_before.at(kGerman);
    };
    if (geteuid() != 0) {
        EXPECT_TRUE(loadAndCheck());
        return;
    }
    ASSERT_EQ(chmod(m_bad.path().c_str(), 0755), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const bool dropped =
            setgid(65534) == 0 && setuid(65534) == 0 && access(m_bad.file("fr.cfg").c_str(), R_OK) != 0;
        _exit(!dropped ? 2 : loadAndCheck() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_NE(WEXITSTATUS(status), 2) << "could not drop root privileges";
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

// --- A 100 MB string table ----------------------------------------------------

// What one load of a big table cost, measured in a child process so that the
// peak resident size is the load's own.
struct LoadCost {
    double seconds;
    long peakRssKiB;
    long baseRssKiB;
    bool spamFound;
    bool earlierKept;
};

std::optional<LoadCost> MeasureLoad(const std::string& directory, const std::string& goodDirectory) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) {
        return std::nullopt;
    }
    const pid_t child = fork();
    if (child == 0) {
        close(pipeFds[0]);
        LoaderAccess loader;
        loader.LoadAllLanguageStringTable(testsupport::Widen(goodDirectory).c_str());
        const auto before = loader.m_stringTables;
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        LoadCost cost{};
        cost.baseRssKiB = usage.ru_maxrss;
        const auto start = std::chrono::steady_clock::now();
        loader.LoadAllLanguageStringTable(testsupport::Widen(directory).c_str());
        cost.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        getrusage(RUSAGE_SELF, &usage);
        cost.peakRssKiB = usage.ru_maxrss;
        cost.spamFound = loader.LoadStringW(kFrench, kSpam, false).str() == L"found";
        cost.earlierKept = loader.m_stringTables.at(kGerman) == before.at(kGerman);
        const bool written = write(pipeFds[1], &cost, sizeof cost) == static_cast<ssize_t>(sizeof cost);
        _exit(written ? 0 : 1);
    }
    close(pipeFds[1]);
    LoadCost cost{};
    const bool read = child > 0 && ::read(pipeFds[0], &cost, sizeof cost) == static_cast<ssize_t>(sizeof cost);
    close(pipeFds[0]);
    int status = 0;
    if (child > 0) {
        waitpid(child, &status, 0);
    }
    return read ? std::optional<LoadCost>(cost) : std::nullopt;
}

// A table larger than 16 MiB is refused unread: its texts become placeholders
// and the load costs one stat(). A table just under the limit is read whole.
TEST_F(HostileFixture, HugeTablesLoadInBoundedTimeAndMemory) {
    const struct {
        std::size_t megabytes;
        bool read;
    } cases[] = {{100, false}, {15, true}};
    for (const auto& huge : cases) {
        SCOPED_TRACE(std::to_string(huge.megabytes) + " MB");
        TempDir bad;
        {
            // The keys first, then filler lines, as a table with a huge comment block would look.
            std::ofstream out(bad.file("fr.cfg"), std::ios::binary);
            out << "[Strings]\r\nIDS_SPAM_FOLDER_NAME=found\r\n";
            const std::string filler = ";" + std::string(60, '-') + " filler line of a comment block\r\n";
            for (std::size_t written = 0; written < huge.megabytes << 20; written += filler.size()) {
                out << filler;
            }
        }
        const auto cost = MeasureLoad(bad.path(), m_good.path());
        ASSERT_TRUE(cost.has_value());
        const long growthKiB = cost->peakRssKiB - cost->baseRssKiB;
        std::printf("%zu MB table: %.3f s, peak RSS %ld KiB, %ld KiB more than before the load\n", huge.megabytes,
                    cost->seconds, cost->peakRssKiB, growthKiB);
        EXPECT_TRUE(cost->earlierKept);
        EXPECT_EQ(cost->spamFound, huge.read);
        EXPECT_LT(cost->seconds, 10.0);
        // Read whole, a table costs about five times its size in Release
        // (the bytes, the text at four bytes a character, the index); the
        // sanitizers add their own overhead on top.
        EXPECT_LT(growthKiB, static_cast<long>(huge.read ? huge.megabytes * 10 * 1024 : 16 * 1024));
    }
}

// --- Registry files edited by hand ------------------------------------------

// Points VELMORA_REGISTRY at a file holding `bytes` for one object's lifetime.
class ScopedRegistryFile {
public:
    explicit ScopedRegistryFile(const std::string& bytes) {
        if (const char* old = std::getenv("VELMORA_REGISTRY")) {
            m_old = old;
        }
        testsupport::WriteBytes(m_dir.file("registry.reg"), bytes);
        setenv("VELMORA_REGISTRY", m_dir.file("registry.reg").c_str(), 1);
    }
    ~ScopedRegistryFile() {
        if (m_old) {
            setenv("VELMORA_REGISTRY", m_old->c_str(), 1);
        } else {
            unsetenv("VELMORA_REGISTRY");
        }
    }
    ScopedRegistryFile(const ScopedRegistryFile&) = delete;
    ScopedRegistryFile& operator=(const ScopedRegistryFile&) = delete;

private:
    TempDir m_dir;
    std::optional<std::string> m_old;
};

std::string SettingsFile(const std::wstring& values) {
    return Utf16Le({L"Windows Registry Editor Version 5.00\r\n\r\n"
                    L"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvenic\\Velmora\\CurrentVersion]\r\n",
                    values.c_str(), L"\r\n"});
}

TEST_F(HostileFixture, HandEditedRegistryFilesNeverCostLoadedStrings) {
    const std::wstring home = L"\"HomeDir\"=\"" + testsupport::Widen(m_bad.path()) + L"\"\r\n";
    testsupport::MakeDirectory(m_bad.file("EUQ"));
    testsupport::MakeDirectory(m_bad.file("EUQ/res"));
    testsupport::WriteBytes(m_bad.file("EUQ/res/fr.cfg"), "");
    std::string truncatedBom = SettingsFile(home + L"\"EUQDefaultLangID\"=dword:00000804");
    truncatedBom.erase(1, 1); // FF without FE: not UTF-16, so the header line is garbage
    const struct {
        const char* name;
        std::string bytes;
        bool directoryRead;  // LoadAllLanguageStringTable(nullptr) finds the directory
        int defaultLanguage; // after that load; 0x0411 is the value set before it
    } cases[] = {
        {"a truncated UTF-16 BOM", truncatedBom, false, 0x0411},
        {"a UTF-16 file with an odd last byte", SettingsFile(home + L"\"EUQDefaultLangID\"=dword:00000804") + "\x01",
         true, 0x0804},
        {"a dword of nine digits", SettingsFile(home + L"\"EUQDefaultLangID\"=dword:100000804"), true, 0x0411},
        {"a dword with a sign", SettingsFile(home + L"\"EUQDefaultLangID\"=dword:-1"), true, 0x0411},
        {"a dword of 0x prefix", SettingsFile(home + L"\"EUQDefaultLangID\"=dword:0x804"), true, 0x0411},
        {"the largest dword", SettingsFile(home + L"\"EUQDefaultLangID\"=dword:ffffffff"), true, -1},
        {"a dword as a quoted string", SettingsFile(home + L"\"EUQDefaultLangID\"=\"2052\""), true, 0x0411},
        {"a HomeDir of 10,000 characters",
         SettingsFile(L"\"HomeDir\"=\"" + std::wstring(10000, L'h') + L"\"\r\n\"EUQDefaultLangID\"=dword:804"), true,
         0x0804},
        {"a HomeDir of 10,000 path separators",
         SettingsFile(L"\"HomeDir\"=\"" + std::wstring(10000, L'/') + L"\"\r\n\"EUQDefaultLangID\"=dword:804"), true,
         0x0804},
    };
    for (const auto& hostile : cases) {
        SCOPED_TRACE(hostile.name);
        const ScopedRegistryFile registry(hostile.bytes);
        LoaderAccess loader = m_loader;
        loader.OverrideDefaultLangID(0x0411);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(loader.LoadAllLanguageStringTable(nullptr), hostile.directoryRead);
        EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 2.0);
        EXPECT_EQ(loader.GetDefaultLangID(), hostile.defaultLanguage);
        // Only a HomeDir naming our directory leads to fr.cfg.
        const bool homeIsOurs = hostile.directoryRead && std::string(hostile.name).find("HomeDir") == std::string::npos;
        EXPECT_EQ(loader.Table(kFrench) != nullptr, homeIsOurs);
        EXPECT_TRUE(loader.m_stringTables.at(kGerman) == m_before.at(kGerman));
    }
}

} // namespace
