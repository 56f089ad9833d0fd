#include "device/DeviceProfile.h"
#include "device/ProfileFile.h"
#include "device/NameLength.h"
#include "device/ProfileLookup.h"
#include "support/TempTree.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <functional>
#include <variant>

#ifndef _WIN32
#include <pwd.h>
#include <unistd.h>
#endif

namespace {

// Sets an environment variable for one test and gives the old value back.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const QByteArray& value)
        : name_(name)
        , had_(qEnvironmentVariableIsSet(name))
        , saved_(qgetenv(name))
    {
        qputenv(name, value);
    }
    ~ScopedVariable()
    {
        if (had_)
            qputenv(name_, saved_);
        else
            qunsetenv(name_);
    }

private:
    const char* name_;
    bool had_;
    QByteArray saved_;
};

QString ErrorText(const std::variant<DeviceProfile, ProfileError>& read)
{
    return std::holds_alternative<ProfileError>(read) ? std::get<ProfileError>(read).Text() : QString();
}

} // namespace

// Every key, comments, CRLF and a BOM are read; whatever is refused names
// its line and key, and so do keys that contradict one another, such as a
// conversion to something the device does not play.
TEST(DeviceProfileFile, ReadsEveryKeyAndNamesTheLineOfWhatItRefuses)
{
    const QString mp3Rates
        = "must be one of MP3's rates: 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320";
    const struct {
        QByteArray text;
        std::variant<AudioRules, DeviceLimits, PhotoRules, QString> read; // the rules, the limits, or the error's text
        int convertedRate = 0;
    } cases[] = {
        {"\xEF\xBB\xBF; my car\r\n[ audio ] # the only section\r\n\r\n  Plays = mp3, FLAC,aac # native\r\n"
         "minsamplerate=32000\r\nMaxSampleRate = 48000\r\nMaxBitRate=640\r\nConvertTo=AAC\r\nBitRate=512\r\n"
         "Tags=ID3v2.4\r\nArt=0",
         AudioRules {{"mp3", "flac", "aac"}, 32000, 48000, 640, "aac", 512, TagVersion::Id3v24, 0}, 44100},
        {"[Audio]\nPlays=mp3\n", AudioRules {{"mp3"}, 0, 0, 0, "mp3", 192, TagVersion::Id3v23AndV1, std::nullopt},
         44100},
        {"[Audio]\nPlays=mp3\nMaxSampleRate=22000\nBitRate=32\nTags=id3v2.3\nArt=4096\n",
         AudioRules {{"mp3"}, 0, 22000, 0, "mp3", 32, TagVersion::Id3v23, 4096}, 16000},
        {"[Audio]\nPlays=aac\nConvertTo=aac\nMinSampleRate=50000\nTags=id3v2.3+id3v1\n",
         AudioRules {{"aac"}, 50000, 0, 0, "aac", 192, TagVersion::Id3v23AndV1, std::nullopt}, 64000},
        {"", "p.ini: no [Audio], [Photos] or [Limits] section"},
        {"# nothing\nPlays=mp3\n", "p.ini:2: Plays: outside a section ([Audio], [Photos] or [Limits])"},
        {"[Audio]\nPlays=mp3\n[Video]\n", "p.ini:3: unknown section [Video]; a profile has [Audio], [Photos] and [Limits]"},
        {"[Audio]\nPlays mp3\n", "p.ini:2: not a [section], a key = value or a comment"},
        {"[Audio]\n= mp3\n", "p.ini:2: not a [section], a key = value or a comment"},
        {"[Audio]\nVolume=3\n",
         "p.ini:2: Volume: not a key of [Audio]: Plays, MinSampleRate, MaxSampleRate, MaxBitRate, ConvertTo, "
         "BitRate, Tags, Art"},
        {"[Audio]\nPlays=mp3\nplays=aac\n", "p.ini:3: Plays: given twice (first on line 2)"},
        {"[Audio]\r\nPlays=mp3\r\nMaxSampleRate=44.1k\r\n", "p.ini:3: MaxSampleRate: not a number"},
        {"[Audio]\nPlays=mp3\nMinSampleRate=7999\n", "p.ini:3: MinSampleRate: must be from 8000 to 768000"},
        {"[Audio]\nPlays=mp3\nMaxBitRate=99999999999\n", "p.ini:3: MaxBitRate: must be from 8 to 5000"},
        {"[Audio]\nPlays=\n", "p.ini:2: Plays: no value"},
        {"[Audio]\nPlays=mp3,,aac\n", "p.ini:2: Plays: a codec name is missing from the list"},
        {"[Audio]\nPlays=mp3, mp-3\n", "p.ini:2: Plays: \"mp-3\" is not a codec name as ffprobe prints it"},
        {"[Audio]\nPlays=mp3\nConvertTo=ogg\n", "p.ini:3: ConvertTo: must be mp3 or aac"},
        {"[Audio]\nPlays=mp3\nBitRate=250\n", "p.ini:3: BitRate: " + mp3Rates},
        {"[Audio]\nPlays=aac\nBitRate=600\nConvertTo=aac\n", "p.ini:3: BitRate: must be from 32 to 512 for aac"},
        {"[Audio]\nPlays=mp3\nTags=id3v1\n", "p.ini:3: Tags: must be one of id3v2.3, id3v2.3+id3v1, id3v2.4"},
        {"[Audio]\nPlays=mp3\nArt=4097\n", "p.ini:3: Art: must be from 0 to 4096"},
        {"[Audio]\nPlays=mp3 ; caf\xE9\n", "p.ini:2: not UTF-8 text"},
        {"[Audio]\nMaxBitRate=320\n", "p.ini: Plays: not given: which codecs the device plays"},
        {"[Audio]\nMaxSampleRate=44100\nPlays=mp3\nMinSampleRate=48000\n",
         "p.ini:2: MaxSampleRate: must not be below MinSampleRate, 48000"},
        {"[Audio]\nPlays=flac\n", "p.ini:2: Plays: must hold mp3, which the rest is converted to"},
        {"[Audio]\nPlays=mp3\nMaxBitRate=128\n",
         "p.ini:3: MaxBitRate: must not be below BitRate, 192, at which the rest is converted"},
        {"[Audio]\nPlays=mp3\nMinSampleRate=40000\nMaxSampleRate=43000\n",
         "p.ini:3: MinSampleRate: the rest cannot be converted to mp3 at 40000 to 43000 Hz"},
        {"[Audio]\nPlays=mp3\nMinSampleRate=50000\n",
         "p.ini:3: MinSampleRate: the rest cannot be converted to mp3 at 50000 Hz or more"},
        // A profile of limits alone converts nothing.
        {"[Limits]\nNameLength=64\n", DeviceLimits {64, {}, {}, {}, {}}},
        {"[Audio]\nPlays=mp3\n[limits]\nnamelength = 255\nFiles=3000\nFolders=1\nFilesPerFolder=255\nDepth=8\n",
         DeviceLimits {255, 3000, 1, 255, 8}},
        {"[Limits]\nDepth=0\n", "p.ini:2: Depth: must be from 1 to 100"},
        {"[Limits]\nFolders=0\n", "p.ini:2: Folders: must be from 1 to 10000000"},
        {"[Limits]\nNameLength=11\n", "p.ini:2: NameLength: must be from 12 to 255"},
        {"[Limits]\nPlays=mp3\n", "p.ini:2: Plays: not a key of [Limits]: Files, Folders, FilesPerFolder, Depth, NameLength"},
        // A frame; its Plays is not [Audio]'s.
        {"[Audio]\nPlays=mp3\n[photos]\nFrame=800X480\nFit=FILL\nQuality=75\nPlays=jpg, PNG,jpeg\nKeepDate=false\n"
         "KeepLocation=TRUE\n",
         PhotoRules {800, 480, PhotoFit::Fill, 75, {"jpeg", "png"}, false, true}},
        {"[Photos]\n", PhotoRules {}},
        {"[Photos]\nFrame=1024*600\n", "p.ini:2: Frame: must be the screen's WIDTHxHEIGHT in pixels, such as 1024x600"},
        {"[Photos]\nFrame=0x600\n", "p.ini:2: Frame: must be the screen's WIDTHxHEIGHT in pixels, such as 1024x600"},
        {"[Photos]\nFit=stretch\n", "p.ini:2: Fit: must be inside or fill"},
        {"[Photos]\nQuality=101\n", "p.ini:2: Quality: must be from 1 to 100"},
        {"[Photos]\nPlays=png\n", "p.ini:2: Plays: must hold jpeg, which the rest is made into"},
        {"[Photos]\nPlays=jpeg,heic\n", "p.ini:2: Plays: \"heic\" is not one of jpeg, png, bmp, gif"},
        {"[Photos]\nKeepLocation=yes\n", "p.ini:2: KeepLocation: must be true or false"},
    };
    for (const auto& [text, expected, convertedRate] : cases) {
        const auto read = ParseProfile(text, QStringLiteral("p"), QStringLiteral("p.ini"));
        EXPECT_EQ(ErrorText(read), std::holds_alternative<QString>(expected) ? std::get<QString>(expected) : QString())
            << text.toStdString();
        if (std::holds_alternative<QString>(expected) || !std::holds_alternative<DeviceProfile>(read))
            continue;
        const DeviceProfile& profile = std::get<DeviceProfile>(read);
        if (const DeviceLimits* limits = std::get_if<DeviceLimits>(&expected)) {
            EXPECT_TRUE(profile.limits == *limits) << text.toStdString();
            EXPECT_EQ(profile.IsAsIs(), !text.contains("[Audio]"));
            continue;
        }
        EXPECT_EQ(profile.origin, QStringLiteral("p.ini"));
        if (const PhotoRules* photos = std::get_if<PhotoRules>(&expected)) {
            EXPECT_TRUE(profile.photos == *photos) << text.toStdString();
            EXPECT_EQ(profile.audio.has_value(), text.contains("[Audio]"));
            continue;
        }
        EXPECT_TRUE(profile.audio == std::get<AudioRules>(expected)) << text.toStdString();
        EXPECT_EQ(ConvertedSampleRate(*profile.audio), convertedRate) << text.toStdString();
    }
}

// The summary says what a profile does; a converted file's cache key
// changes with what its bytes depend on, and only with that.
TEST(DeviceProfileFile, SummarisesAndKeysConversionsByWhatTheyWrite)
{
    const std::vector<QString> summaries = {
        "copies every file as it is",
        "plays MP3 at 32 to 48 kHz and up to 320 kbit/s; converts the rest to MP3 at 192 kbit/s, ID3v2.3 and ID3v1 "
        "tags, covers at most 300 px; at most 3000 files, 999 folders, 255 files a folder, 8 levels of folders, names "
        "of at most 64 characters",
        "plays MP3 and AAC up to 48 kHz; converts the rest to MP3 at 256 kbit/s, ID3v2.3 tags, covers at most 500 px",
        "shows JPEG; makes the rest upright JPEGs at quality 90 fitted inside 800x480, date kept, location left out",
        "shows JPEG; makes the rest upright JPEGs at quality 90 fitted inside 1024x600, date kept, location left out",
        "shows JPEG; makes the rest upright JPEGs at quality 90 fitted inside 1280x800, date kept, location left out",
        "shows JPEG; makes the rest upright JPEGs at quality 90 fitted inside 1920x1080, date kept, location left out",
    };
    ASSERT_EQ(BuiltInProfiles().size(), summaries.size());
    for (std::size_t i = 0; i < summaries.size(); ++i)
        EXPECT_EQ(ProfileSummary(BuiltInProfiles()[i]), summaries[i]);

    const AudioRules car = *BuiltInProfiles()[1].audio;
    const struct {
        std::function<void(AudioRules&)> change;
        bool sameKey;
    } changes[] = {
        {[](AudioRules& r) { r.plays.append("flac"); }, true},
        {[](AudioRules& r) { r.minSampleRate = 0; }, true},
        {[](AudioRules& r) { r.maxBitRate = 0; }, true},
        {[](AudioRules& r) { r.maxSampleRate = 96000; }, true},
        {[](AudioRules& r) { r.maxSampleRate = 32000; }, false},
        {[](AudioRules& r) { r.bitRate = 256; }, false},
        {[](AudioRules& r) { r.convertTo = "aac"; }, false},
        {[](AudioRules& r) { r.tags = TagVersion::Id3v23; }, false},
        {[](AudioRules& r) { r.art = 0; }, false},
        {[](AudioRules& r) { r.art.reset(); }, false},
    };
    const QString key = ConversionFields(car);
    for (std::size_t i = 0; i < std::size(changes); ++i) {
        AudioRules changed = car;
        changes[i].change(changed);
        EXPECT_EQ(ConversionFields(changed) == key, changes[i].sameKey) << i;
    }
    AudioRules keptCover = car, noCover = car;
    keptCover.art.reset();
    noCover.art = 0;
    EXPECT_NE(ConversionFields(keptCover), ConversionFields(noCover));
}

// The user's own profiles come first and replace a built-in of their name;
// --device takes a file or a name; a stick's own file applies where none
// is chosen; files larger than 64 KiB are not read.
TEST(DeviceProfileLookup, FindsOwnBuiltInFileAndStickProfiles)
{
    TempTree tree;
    const ScopedVariable config("XDG_CONFIG_HOME", QFile::encodeName(tree.Path(QStringLiteral("config"))));
    const QString own = tree.Path(QStringLiteral("config/Quorvex/devices"));
    EXPECT_EQ(UserProfileFolder(), own);
    const QString carFile
        = tree.WriteFile(QStringLiteral("config/Quorvex/devices/car-mp3.ini"), "[Audio]\nPlays=mp3,flac\n");
    const QString brokenFile
        = tree.WriteFile(QStringLiteral("config/Quorvex/devices/broken.ini"), "[Audio]\nArt=big\n");
    tree.WriteFile(QStringLiteral("config/Quorvex/devices/aardvark.ini"), "[Audio]\nPlays=mp3\n");
    tree.WriteFile(QStringLiteral("config/Quorvex/devices/notes.txt"), "not a profile");

    std::vector<ProfileError> errors;
    QStringList listed;
    for (const DeviceProfile& profile : AllProfiles(errors))
        listed.append(profile.name + u'@' + (profile.origin == carFile ? QStringLiteral("own") : profile.origin));
    const QStringList expected = {"aardvark@" + own + QDir::separator() + "aardvark.ini", "car-mp3@own",
                                  "as-is@built in", "player-mp3-aac@built in", "frame-800x480@built in",
                                  "frame-1024x600@built in", "frame-1280x800@built in", "frame-1920x1080@built in"};
    EXPECT_EQ(listed, expected);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].Text(), brokenFile + ":2: Art: not a number");

    EXPECT_EQ(std::get<DeviceProfile>(ProfileNamed(QStringLiteral("car-mp3"))).origin, carFile);
    EXPECT_EQ(std::get<DeviceProfile>(ProfileNamed(QStringLiteral("player-mp3-aac"))), BuiltInProfiles()[2]);
    EXPECT_EQ(ErrorText(ProfileNamed(QStringLiteral("walkman"))),
              QStringLiteral("no device profile named \"walkman\""));
    EXPECT_FALSE(NamesProfileFile(QStringLiteral("car-mp3")));
    const QString argument = tree.WriteFile(QStringLiteral("elsewhere/My.Car.INI"), "[Audio]\nPlays=mp3\n");
    EXPECT_EQ(std::get<DeviceProfile>(ProfileNamed(argument)).name, QStringLiteral("My.Car"));
    const ProfileError missing = std::get<ProfileError>(ProfileNamed(QStringLiteral("gone.ini")));
    EXPECT_EQ(missing.file, QStringLiteral("gone.ini"));
    EXPECT_FALSE(missing.reason.isEmpty());

    const QByteArray whole = "[Audio]\nPlays=mp3\n" + QByteArray(64 * 1024 - 19, ' ') + '\n';
    EXPECT_TRUE(std::holds_alternative<DeviceProfile>(ReadProfileFile(tree.WriteFile("whole.ini", whole), "whole")));
    const QString tooLarge = tree.WriteFile("large.ini", whole + ' ');
    EXPECT_EQ(ErrorText(ReadProfileFile(tooLarge, "large")), tooLarge + ": larger than 64 KiB, which no profile is");

    const QString stick = tree.MakeFolder(QStringLiteral("stick"));
    EXPECT_TRUE(std::get<DeviceProfile>(ProfileForDestination(std::nullopt, stick)).IsAsIs());
    const QString stickFile
        = tree.WriteFile(QStringLiteral("stick/.quorvex-device.ini"), "[Audio]\nPlays=mp3\nArt=200\n");
    const DeviceProfile stickOwn = std::get<DeviceProfile>(ProfileForDestination(std::nullopt, stick));
    EXPECT_EQ(stickOwn.origin, stickFile);
    EXPECT_EQ(stickOwn.audio->art, 200);
    EXPECT_EQ(std::get<DeviceProfile>(ProfileForDestination(BuiltInProfiles()[1], stick)), BuiltInProfiles()[1]);
    tree.WriteFile(QStringLiteral("stick/.quorvex-device.ini"), "[Audio]\nPlays=mp3\nArt=200\nArt=300\n");
    EXPECT_EQ(ErrorText(ProfileForDestination(std::nullopt, stick)),
              stickFile + ":4: Art: given twice (first on line 3)");
}

#ifndef _WIN32
// A relative XDG_CONFIG_HOME is ignored, and a program started with no
// environment, as cron does, still finds the user's home.
TEST(DeviceProfileLookup, FallsBackToTheAccountsHome)
{
    const ScopedVariable config("XDG_CONFIG_HOME", "relative/config");
    const ScopedVariable home("HOME", "");
    const passwd* user = ::getpwuid(::getuid());
    ASSERT_NE(user, nullptr);
    EXPECT_EQ(UserProfileFolder(), QFile::decodeName(user->pw_dir) + "/.config/Quorvex/devices");
}
#endif

// A name is cut before its extension, never inside a character or the
// extension, and not to end in a blank or a dot; a clash's number stays
// within the limit.
TEST(DeviceNameLength, CutsBeforeTheExtensionWithinTheLimit)
{
    const QString emoji = QString::fromUtf8("😀");
    const struct {
        QString name;
        int limit;
        bool hasExtension;
        QString within;
        QString numbered; // the clash's third name
    } cases[] = {
        {"short.mp3", 12, true, "short.mp3", "short3.mp3"},
        {"A long song title.mp3", 16, true, "A long song.mp3", "A long song3.mp3"},
        {"Album. Vol. 2", 12, false, "Album. Vol", "Album. V3. 2"},
        {"abcdefghij" + emoji + ".flac", 16, true, "abcdefghij.flac", "abcdefghij3.flac"},
        {"no extension at all, long", 12, true, "no extension", "no extensio3"},
        {"dots......mp3.averyverylongextension", 20, true, "dots......mp3.averyv", "dots......mp3.avery3"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NameWithin(c.name, c.limit, c.hasExtension), c.within) << c.name.toStdString();
        EXPECT_LE(NameWithin(c.name, c.limit, c.hasExtension).size(), c.limit);
        EXPECT_EQ(NumberedNameWithin(c.name, 3, c.limit), c.numbered) << c.name.toStdString();
        EXPECT_LE(NumberedNameWithin(c.name, 3, c.limit).size(), c.limit);
    }
}
