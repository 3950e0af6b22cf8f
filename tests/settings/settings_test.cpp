#include "settings/settings.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include "core/errors.h"

namespace quillfen {
namespace {

class SettingsStore : public ::testing::Test {
  protected:
    QTemporaryDir Dir;
    QString Path = Dir.filePath(QStringLiteral("Quillfen/Quillfen.ini"));
    TSettingsStore Store = IniSettingsStore(Path);

    void SetUp() override { ASSERT_TRUE(Dir.isValid()); }

    // The store as a hand-edited file would leave it.
    void WriteRaw(const QByteArray& body) {
        ASSERT_TRUE(QDir().mkpath(QFileInfo(Path).absolutePath()));
        QFile f(Path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(body);
    }

    QByteArray ReadRaw() const {
        QFile f(Path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    TSettings LoadFrom(const QByteArray& body) {
        WriteRaw(body);
        return LoadSettings(Store);
    }
};

void ExpectDefaults(const TSettings& s) {
    EXPECT_EQ(s.Language, TLanguage::English);
    EXPECT_EQ(s.Tags, TTags::Default);
    for (const QString& entry : s.History) EXPECT_TRUE(entry.isEmpty());
}

TEST_F(SettingsStore, FirstStartGivesDefaultsAndSavesLanguageTagsAndTheOptionsOnly) {
    const TSettings s = LoadSettings(Store);
    ExpectDefaults(s);

    SaveSettings(Store, s);
    const QSettings written(Path, QSettings::IniFormat);
    ASSERT_EQ(written.status(), QSettings::NoError);
    EXPECT_EQ(written.value("Language").toString(), "0");
    EXPECT_EQ(written.value("Tags").toString(), "3");
    EXPECT_EQ(written.value("SkipNoLetters").toString(), "0");
    EXPECT_EQ(written.value("Units").toString(), "0");
    EXPECT_EQ(written.allKeys().size(), 4);
    // Sentences are kept as 1; any other stored number reads as runs.
    TSettings sentences = s;
    sentences.Units = TUnits::Sentences;
    SaveSettings(Store, sentences);
    EXPECT_EQ(LoadSettings(Store).Units, TUnits::Sentences);
    EXPECT_EQ(LoadFrom("[General]\nUnits=7\n").Units, TUnits::Runs);
    // The export format is kept by name once one is given.
    TSettings format = s;
    format.ExportFormat = "po";
    SaveSettings(Store, format);
    EXPECT_EQ(LoadSettings(Store).ExportFormat, "po");
    for (int n = 1; n <= 5; ++n)
        EXPECT_FALSE(written.contains(QStringLiteral("History%1").arg(n))) << n;
}

TEST_F(SettingsStore, LanguageIsTheLow16BitsWhenThoseNameAStringTable) {
    const struct {
        const char* Stored;
        TLanguage Expected;
    } cases[] = {
        {"100", TLanguage::German},    {"65636", TLanguage::German},
        {"0", TLanguage::English},     {"65536", TLanguage::English},
        {"65535", TLanguage::English}, {"4294967295", TLanguage::English},
        {"1", TLanguage::English},     {"99", TLanguage::English},
        {"101", TLanguage::English},   {"200", TLanguage::English},
    };
    for (const auto& c : cases) {
        const std::string body = std::string("[General]\nLanguage=") + c.Stored + "\nTags=5\n";
        const TSettings s = LoadFrom(body.c_str());
        EXPECT_EQ(s.Language, c.Expected) << c.Stored;
        EXPECT_EQ(s.Tags, TTags(5)) << c.Stored;
    }
}

TEST_F(SettingsStore, LanguageThatIsNoDwordFallsBackToEnglish) {
    for (const char* body : {"[General]\nLanguage=abc\n", "[General]\nLanguage=-1\n",
                             "[General]\nLanguage=4294967396\n", "[General]\nLanguage=a, b\n",
                             "[General]\nLanguage=\n"}) {
        const TSettings s = LoadFrom(body);
        EXPECT_EQ(s.Language, TLanguage::English) << body;
        EXPECT_EQ(s.Tags, TTags::Default) << body;
    }
}

TEST_F(SettingsStore, TagsAreReadAsStoredWithinEightBits) {
    EXPECT_EQ(LoadFrom("[General]\nTags=0\n").Tags,
              TTags::None);  // no kind extracted, not the default
    EXPECT_EQ(LoadFrom("[General]\nTags=263\n").Tags, TTags(7));
    EXPECT_EQ(LoadFrom("[General]\nTags=4\n").Tags, TTags::Content);
    EXPECT_EQ(LoadFrom("[General]\nTags=nonsense\n").Tags, TTags::Default);
    // One broken value does not spoil the others.
    const TSettings s = LoadFrom("[General]\nLanguage=x\nHistory1=/a.htm\nTags=5\n");
    EXPECT_EQ(s.Language, TLanguage::English);
    EXPECT_EQ(s.History[0], "/a.htm");
    EXPECT_EQ(s.Tags, TTags::PlainText | TTags::Content);
}

TEST_F(SettingsStore, MeaninglessTagBitsSurviveARoundTrip) {
    TSettings s = LoadFrom("[General]\nTags=249\n");
    ASSERT_EQ(s.Tags, TTags(249));
    SaveSettings(Store, s);
    EXPECT_TRUE(ReadRaw().contains("Tags=249"));
    EXPECT_EQ(LoadSettings(Store).Tags, TTags(249));
}

TEST_F(SettingsStore, HistoryEntriesKeepTheirPlaces) {
    const TSettings s = LoadFrom("[General]\nHistory2=/pages/b.htm\nHistory5=/pages/e.htm\n");
    EXPECT_TRUE(s.History[0].isEmpty());
    EXPECT_EQ(s.History[1], "/pages/b.htm");
    EXPECT_TRUE(s.History[2].isEmpty());
    EXPECT_TRUE(s.History[3].isEmpty());
    EXPECT_EQ(s.History[4], "/pages/e.htm");
}

TEST_F(SettingsStore, NonStringHistoryIsEmptyAndStaysInTheStore) {
    const TSettings s = LoadFrom(
        "[General]\nHistory1=a, b\nHistory2=/ok.htm\nHistory3=@ByteArray(xy)\n"
        "History4=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x5)\n");
    EXPECT_TRUE(s.History[0].isEmpty());
    EXPECT_EQ(s.History[1], "/ok.htm");
    EXPECT_TRUE(s.History[2].isEmpty());
    EXPECT_TRUE(s.History[3].isEmpty());

    SaveSettings(Store, s);
    const QSettings written(Path, QSettings::IniFormat);
    EXPECT_EQ(written.value("History1").toStringList(), QStringList({"a", "b"}));
    EXPECT_EQ(written.value("History3").toByteArray(), "xy");
    EXPECT_EQ(written.value("History4").toInt(), 5);
    EXPECT_EQ(written.value("History2").toString(), "/ok.htm");
}

TEST_F(SettingsStore, ZeroCharacterCutsAHistoryEntry) {
    const TSettings s = LoadFrom("[General]\nHistory1=/a.htm\\0/b.htm\nHistory2=\\0rest\n");
    EXPECT_EQ(s.History[0], "/a.htm");
    EXPECT_TRUE(s.History[1].isEmpty());
}

TEST_F(SettingsStore, EmptyEntriesAreNeitherWrittenNorDeleted) {
    WriteRaw("[General]\nHistory3=/old.htm\n");
    TSettings s;
    s.Language = TLanguage::German;
    s.Tags = TTags::PlainText;
    s.History[0] = QStringLiteral("/Übersetzung/größe.htm");
    s.History[1] = QStringLiteral("/pages/zwei.html");
    SaveSettings(Store, s);

    const TSettings back = LoadSettings(Store);
    EXPECT_EQ(back.Language, TLanguage::German);
    EXPECT_EQ(back.Tags, TTags::PlainText);
    EXPECT_EQ(back.History[0], u"/Übersetzung/größe.htm");
    EXPECT_EQ(back.History[1], "/pages/zwei.html");
    EXPECT_EQ(back.History[2], "/old.htm");
    EXPECT_TRUE(back.History[3].isEmpty());
    EXPECT_FALSE(ReadRaw().contains("History4"));
}

TEST_F(SettingsStore, UnparsableStoreGivesDefaultsAndIsReplacedOnSave) {
    // Valid-looking values in a broken file are not trusted, and Tags never ends up 0.
    const TSettings s = LoadFrom("[General\nLanguage=100\nTags=0\n\x01\x02=zz\n=\n");
    ExpectDefaults(s);

    TSettings changed = s;
    changed.Language = TLanguage::German;
    SaveSettings(Store, changed);
    const TSettings back = LoadSettings(Store);
    EXPECT_EQ(back.Language, TLanguage::German);
    EXPECT_EQ(back.Tags, TTags::Default);
    EXPECT_EQ(QSettings(Path, QSettings::IniFormat).status(), QSettings::NoError);
}

TEST_F(SettingsStore, UnreadableStoreGivesDefaults) {
    ASSERT_TRUE(QDir().mkpath(Path));  // a folder where the file should be
    ExpectDefaults(LoadSettings(Store));
}

TEST_F(SettingsStore, UnwritableStoreRaisesAnErrorNamingIt) {
    // A file stands where the folder of the store should be; this holds even for root.
    {
        QFile blocker(Dir.filePath(QStringLiteral("Quillfen")));
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    }
    EXPECT_NO_THROW(ExpectDefaults(LoadSettings(Store)));
    try {
        SaveSettings(Store, TSettings{});
        FAIL() << "saving into an unwritable store succeeded";
    } catch (const TError& e) {
        EXPECT_NE(std::string(e.what()).find(Path.toStdString()), std::string::npos) << e.what();
    }
}

TEST_F(SettingsStore, FolderInPlaceOfTheStoreIsReportedOnSave) {
    ASSERT_TRUE(QDir().mkpath(Path));
    EXPECT_THROW(SaveSettings(Store, TSettings{}), TError);
}

TEST(DefaultStore, LivesUnderQuillfen) {
    const TSettingsStore store = DefaultSettingsStore();
#ifdef Q_OS_WIN
    EXPECT_EQ(store.Location, "HKEY_CURRENT_USER\\SOFTWARE\\Quillfen");
    EXPECT_EQ(store.Format, QSettings::NativeFormat);
#else
    EXPECT_TRUE(store.Location.endsWith("/Quillfen/Quillfen.ini")) << store.Location.toStdString();
    EXPECT_EQ(store.Format, QSettings::IniFormat);
#endif
}

}  // namespace
}  // namespace quillfen
