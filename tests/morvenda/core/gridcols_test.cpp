#include "morvenda/core/gridcols.h"

#include "common/constants.h"
#include "common/settings.h"
#include "common/textfile.h"
#include "morvenda/core/state.h"
#include "tests/support/asuser.h"
#include "tests/support/statefixture.h"

#include <QFile>

#include <gtest/gtest.h>

#include <functional>
#include <iterator>

namespace {

// Settings in a temporary folder and a fresh program state for each test.
class GridColsTest : public SchedulerStateTest {
protected:
    void SetUp() override {
        SchedulerStateTest::SetUp();
        DefineGridColumns();
    }

    // The default columns, then profile Profile, holding these column values
    // by title, read as the current one.
    static void ReadProfile(const QString& profile, const std::vector<std::pair<QString, QString>>& values) {
        DefineGridColumns();
        G.gCurProfile = profile;
        for (const auto& [title, value] : values)
            ASSERT_TRUE(SaveSetting(gAppName, gProfPrefix + profile, title, value));
        ReadColProfile();
    }
};

TEST_F(GridColsTest, DefaultColumns) {
    struct Case {
        int id;
        const char* title;
        char align;
        int width;
        bool hidden;
    };
    const Case cases[] = {
        {0, "Job Name", '<', 800, false},
        {1, "Group", '^', 500, false},
        {4, "DOS/CP Prog", '^', 1100, false},
        {8, "Date Variables", '<', 1400, false},
        {9, "Early Start", '^', 1100, true},
        {11, "Dependencies", '<', 2500, true},  // trailing blanks widen the column
        {16, "Status", '^', 1100, true},
        {22, "Critical", '^', 800, true},
    };
    for (const Case& c : cases) {
        const GridColumn& col = gGridCols[static_cast<size_t>(c.id)];
        EXPECT_EQ(col.Title, S(c.title)) << c.id;
        EXPECT_EQ(col.Align, QLatin1Char(c.align)) << c.id;
        EXPECT_EQ(col.Width, c.width) << c.id;
        EXPECT_EQ(col.Hidden, c.hidden) << c.id;
        EXPECT_EQ(col.Order, c.id);
    }
    int shown = 0;
    for (const GridColumn& col : gGridCols) shown += col.Hidden ? 0 : 1;
    EXPECT_EQ(shown, 9);
}

TEST_F(GridColsTest, StoredOrdersMustPlaceEveryColumnOnce) {
    ReadProfile(S("Swap"), {{gGridCols[3].Title, S("1500,7,<,False")},
                            {gGridCols[7].Title, S("%1,3,%2,False").arg(gGridCols[7].Width).arg(gGridCols[7].Align)}});
    EXPECT_EQ(gGridCols[3].Order, 7);
    EXPECT_EQ(gGridCols[7].Order, 3);

    ReadProfile(S("Broken"), {{gGridCols[3].Title, S("1500,99,<,False")}});
    for (int id = 0; id < kGridColCount; ++id) EXPECT_EQ(gGridCols[static_cast<size_t>(id)].Order, id);

    // The job name stays first and shown, whatever a profile says.
    ReadProfile(S("NameMoved"), {{gGridCols[0].Title, S("800,1,<,True")}, {gGridCols[1].Title, S("500,0,^,False")}});
    EXPECT_FALSE(gGridCols[0].Hidden);
    for (int id = 0; id < kGridColCount; ++id) EXPECT_EQ(gGridCols[static_cast<size_t>(id)].Order, id);
}

TEST_F(GridColsTest, FreshInstallationKeepsTheDefaults) {
    G.gCurProfile = S("General");
    const auto before = gGridCols;
    ReadColProfile();
    EXPECT_EQ(gGridCols, before);
}

TEST_F(GridColsTest, ReadsStoredValues) {
    struct Case {
        const char* value;
        int width;
        int order;
        char align;
        bool hidden;
    };
    // Column 3 "Job Description" starts as 1500 wide, position 3, "<", shown.
    const Case cases[] = {
        {"1500,3,>,False", 1500, 3, '>', false},
        // Order 7 alone would place two columns at 7: the default order stays.
        {"900,7,^,True", 900, 3, '^', true},
        {"900,7,^,true", 900, 3, '^', false},  // only exactly "True" hides
        {"900,7,^", 900, 3, '^', false},
        {"70000,-40000,>,True", 1500, 3, '>', true},  // numbers that do not fit are not taken
        {"abc,x,?,False", 1500, 3, '<', false},       // nor texts that are no numbers or marks
        {"1800tw, 3 ,>,False", 1800, 3, '>', false},  // numbers are read by their leading digits
        {"-200,3,>,False", 1500, 3, '>', false},      // a negative width is refused
        {"1200", 1200, 3, '<', false},
        {"", 1500, 3, '<', false},  // no value: unchanged
    };
    for (const Case& c : cases) {
        ReadProfile(S("Test"), {{S("Job Description"), S(c.value)}});
        const GridColumn& col = gGridCols[3];
        EXPECT_EQ(col.Width, c.width) << c.value;
        EXPECT_EQ(col.Order, c.order) << c.value;
        EXPECT_EQ(col.Align, QLatin1Char(c.align)) << c.value;
        EXPECT_EQ(col.Hidden, c.hidden) << c.value;
        EXPECT_EQ(gGridCols[2].Width, 1200);  // other columns untouched
    }
}

TEST_F(GridColsTest, SavedProfilesRoundTripAndStayApart) {
    const auto defaults = gGridCols;
    G.gCurProfile = S("Mine");
    gGridCols[0].Width = 1234;
    gGridCols[10].Hidden = false;
    gGridCols[10].Order = 1;
    gGridCols[1].Order = 10;
    gGridCols[16].Align = QLatin1Char('>');
    const auto mine = gGridCols;
    ASSERT_TRUE(SaveColProfile());
    EXPECT_EQ(GetSetting(gAppName, gProfSection, S("Current")), gProfPrefix + S("Mine"));
    EXPECT_EQ(GetSetting(gAppName, gProfPrefix + S("Mine"), S("Frequency")), S("900,1,^,False"));
    EXPECT_EQ(GetSetting(gAppName, gProfPrefix + S("Mine"), S("Status")), S("1100,16,>,True"));

    DefineGridColumns();
    G.gCurProfile = S("Other");
    ASSERT_TRUE(SaveColProfile());
    EXPECT_EQ(GetSetting(gAppName, gProfSection, S("Current")), gProfPrefix + S("Other"));

    G.gCurProfile = S("Mine");
    ReadColProfile();
    EXPECT_EQ(gGridCols, mine);
    G.gCurProfile = S("Other");
    ReadColProfile();  // every column is stored under "Other": nothing of "Mine" is left
    EXPECT_EQ(gGridCols, defaults);
}

TEST_F(GridColsTest, ProfileNamesRoundTripWhateverTheyHold) {
    struct Case {
        const char* name;
        const char* stored;
    };
    const Case cases[] = {
        {"General", "VP_General"},  // plain names as before
        {"a]b", "VP_a%5Db"},
        {"[x]", "VP_%5Bx%5D"},
        {"Day,Night", "VP_Day%2CNight"},
        {"Say \"hi\"", "VP_Say %22hi%22"},
        {"k=v", "VP_k%3Dv"},
        {"50%off", "VP_50%off"},  // a "%" that encodes nothing stays
        {"%41", "VP_%2541"},
        {"tab\there", "VP_tab%09here"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ProfileStoredName(S(c.name)), S(c.stored));
        EXPECT_EQ(ProfileNameOf(S(c.stored)), S(c.name));
        // Saved three times and read back: one section, the widths kept.
        DefineGridColumns();
        G.gCurProfile = S(c.name);
        gGridCols[3].Width = 2345;
        for (int k = 0; k < 3; ++k) ASSERT_TRUE(SaveColProfile());
        ASSERT_TRUE(AddColProfileName(ProfileStoredName(S(c.name))));
        DefineGridColumns();
        ReadColProfile();
        EXPECT_EQ(gGridCols[3].Width, 2345);
        EXPECT_EQ(ProfileNameOf(GetSetting(gAppName, gProfSection, S("Current"))), S(c.name));
    }
    QFile file(SettingsFilePath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    for (const Case& c : cases) EXPECT_EQ(text.count(S("[Morvenda\\") + S(c.stored) + S("]")), 1) << c.name;
    // Every name is one item of the list.
    const QString list = GetSetting(gAppName, gProfSection, S("List"));
    EXPECT_EQ(list.count(QLatin1Char(',')), static_cast<qsizetype>(std::size(cases)) - 1);
}

TEST_F(GridColsTest, AddColProfileNameListsEachNameOnce) {
    struct Case {
        const char* list;  // before; nullptr: not stored
        const char* name;
        const char* after;
    };
    const Case cases[] = {
        {nullptr, "VP_General", "VP_General"},
        {"VP_General", "VP_General", "VP_General"},
        {"VP_General", "VP_Night", "VP_General,VP_Night"},
        {"VP_General,VP_Night", "VP_night", "VP_General,VP_Night"},  // names are the same in any case
        {"VP_General", "VP_Gen", "VP_General,VP_Gen"},               // part of a name is another name
        {"  VP_General  ", "VP_Day", "VP_General,VP_Day"},
    };
    for (const Case& c : cases) {
        if (c.list)
            ASSERT_TRUE(SaveSetting(gAppName, gProfSection, S("List"), S(c.list)));
        else
            ASSERT_TRUE(DeleteSetting(gAppName, gProfSection, S("List")));
        EXPECT_TRUE(AddColProfileName(S(c.name)));
        EXPECT_EQ(GetSetting(gAppName, gProfSection, S("List")), S(c.after)) << c.name;
    }
}

// Reading, choosing, saving under a name, deleting and the grid's closing
// save, on settings that hold "General" (current) and "Night"; then each
// again with the settings folder read-only, where every one that writes fails
// with the settings file's reason and leaves the file and the current
// profile as they were. (Only a user other than root is held by a read-only
// folder.)
TEST_F(GridColsTest, ProfileOperationsAndTheirFailures) {
    MRV_RUN_AS_USER();
    const QString folder = FolderOf(SettingsFilePath());
    for (const char* name : {"General", "Night"}) {
        G.gCurProfile = S(name);
        ASSERT_TRUE(SaveColProfile());
        ASSERT_TRUE(AddColProfileName(ProfileStoredName(S(name))));
    }
    ASSERT_TRUE(ChooseProfile(S("General")));
    const QByteArray prepared = config.read(SettingsFilePath());
    const auto prepare = [&](bool fresh) {
        QFile::remove(SettingsFilePath());
        if (!fresh) config.write(S("Morvenda/settings.ini"), prepared);
        DefineGridColumns();
        G.gCurProfile = S("General");
    };
    const auto setting = [](const QString& section, const char* key) { return GetSetting(gAppName, section, S(key)); };
    struct Case {
        const char* what;
        bool fresh;   // no settings yet
        bool writes;  // fails when the settings cannot be written
        std::function<ProfileResult()> op;
        const char* error;  // the reason when writable; "" for success
        const char* current;
        const char* list;
        const char* curProfile;  // G.gCurProfile afterwards
    };
    const Case cases[] = {
        {"first use starts General", true, true,
         [] {
             const ProfileNames n = ReadProfileNames();
             EXPECT_EQ(n.Names, QStringList{S("General")});
             EXPECT_EQ(n.Current, 0);
             return n.Stored;
         },
         "", "VP_General", "VP_General", "General"},
        {"listed profiles, the current one chosen", false, false,
         [] {
             G.gCurProfile.clear();
             const ProfileNames n = ReadProfileNames();
             EXPECT_EQ(n.Names, (QStringList{S("General"), S("Night")}));
             EXPECT_EQ(n.Current, 0);
             return n.Stored;
         },
         "", "VP_General", "VP_General,VP_Night", "General"},
        {"choose", false, true, [] { return ChooseProfile(S("Night")); }, "", "VP_Night", "VP_General,VP_Night",
         "General"},
        {"save under a new name", false, true,
         [] {
             const ProfileResult r = SaveProfileAs(S("Day"), {10, 1}, {2});
             if (r) {
                 EXPECT_EQ(GetSetting(gAppName, S("VP_Day"), S("Frequency")), S("900,1,^,False"));
                 EXPECT_EQ(GetSetting(gAppName, S("VP_Day"), S("Command Line")), S("1200,3,<,True"));
                 EXPECT_EQ(GetSetting(gAppName, S("VP_General"), S("Frequency")), S("900,10,^,True"));
             }
             return r;
         },
         "", "VP_Day", "VP_General,VP_Night,VP_Day", "Day"},
        {"delete another profile", false, true, [] { return DeleteProfile(S("Night")); }, "", "VP_General",
         "VP_General", "General"},
        {"delete the current profile", false, true, [] { return DeleteProfile(S("general")); }, "", "VP_Night",
         "VP_Night", "General"},
        {"delete a profile that is not there", false, false, [] { return DeleteProfile(S("Gone")); },
         "There is no view profile \"Gone\".", "VP_General", "VP_General,VP_Night", "General"},
        {"the grid's layout at closing", false, true,
         [] {
             gGridCols[3].Width = 2222;
             const ProfileResult r = SaveGridLayout(4500);
             if (r) {
                 EXPECT_EQ(GetSetting(gAppName, gRegSection, gGridHeightKey), S("4500"));
                 EXPECT_EQ(GetSetting(gAppName, S("VP_General"), S("Job Description")), S("2222,3,<,False"));
             }
             return r;
         },
         "", "VP_General", "VP_General,VP_Night", "General"},
    };
    for (const bool readOnly : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.what) + (readOnly ? " (read-only)" : ""));
            prepare(c.fresh);
            const QByteArray before = config.read(SettingsFilePath());
            const QString current = setting(gProfSection, "Current");
            const QString list = setting(gProfSection, "List");
            if (readOnly) QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
            const ProfileResult r = c.op();
            QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
            if (readOnly && c.writes) {
                EXPECT_FALSE(r);
                EXPECT_TRUE(r.error.contains(SettingsFilePath()) && r.error.endsWith(S("Permission denied")))
                    << r.error.toStdString();
                EXPECT_EQ(config.read(SettingsFilePath()), before);
                EXPECT_EQ(setting(gProfSection, "Current"), current);
                EXPECT_EQ(setting(gProfSection, "List"), list);
                EXPECT_EQ(G.gCurProfile, S("General"));
                continue;
            }
            EXPECT_EQ(r.ok, S(c.error).isEmpty());
            EXPECT_EQ(r.error, S(c.error));
            EXPECT_EQ(setting(gProfSection, "Current"), S(c.current));
            EXPECT_EQ(setting(gProfSection, "List"), S(c.list));
            EXPECT_EQ(G.gCurProfile, S(c.curProfile));
        }
    }
}

}  // namespace
