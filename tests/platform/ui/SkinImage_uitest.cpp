#include "platform/ui/SkinImage.h"

#include <QDir>
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <vector>

namespace {

namespace fs = std::filesystem;

// A 64 x 48 picture: left half red, right half blue; grey pictures are a flat level.
QImage TwoColourImage()
{
    QImage image(64, 48, QImage::Format_RGB888);
    image.fill(QColor(220, 30, 40));
    for (int y = 0; y < 48; ++y)
        for (int x = 32; x < 64; ++x)
            image.setPixelColor(x, y, QColor(20, 60, 230));
    return image;
}

// Writes `image` as a JPEG (RGB, or grey when the image is Grayscale8) with full-size colour.
void WriteJpeg(const std::string& path, const QImage& image)
{
    std::string error;
    ASSERT_TRUE(ui::WriteJpegFile(path, image, 95, &error)) << error;
}

std::vector<char> ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::string& path, const std::vector<char>& bytes)
{
    std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
}

void ExpectColourNear(const QImage& image, int x, int y, const QColor& expected)
{
    const QColor got = image.pixelColor(x, y);
    const int tolerance = 10; // JPEG at quality 95, far from the colour edge
    EXPECT_NEAR(got.red(), expected.red(), tolerance) << "at " << x << "," << y;
    EXPECT_NEAR(got.green(), expected.green(), tolerance) << "at " << x << "," << y;
    EXPECT_NEAR(got.blue(), expected.blue(), tolerance) << "at " << x << "," << y;
}

class SkinImageTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
    void TearDown() override { qunsetenv(ui::kSkinFolderVariable); }

    std::string Path(const std::string& name) const { return dir_.filePath(QString::fromStdString(name)).toStdString(); }
    void UseSkinFolder() const { qputenv(ui::kSkinFolderVariable, dir_.path().toUtf8()); }

    QTemporaryDir dir_;
};

TEST_F(SkinImageTest, DecodesSizeAndColours)
{
    WriteJpeg(Path("two.jpg"), TwoColourImage());
    QImage image;
    std::string error;
    ASSERT_TRUE(ui::DecodeJpegFile(Path("two.jpg"), image, &error)) << error;
    EXPECT_EQ(image.size(), QSize(64, 48));
    ExpectColourNear(image, 12, 24, QColor(220, 30, 40));
    ExpectColourNear(image, 52, 24, QColor(20, 60, 230));
    ExpectColourNear(image, 0, 0, QColor(220, 30, 40));
    ExpectColourNear(image, 63, 47, QColor(20, 60, 230));
}

TEST_F(SkinImageTest, DecodesGreyPictureAsColour)
{
    QImage grey(20, 10, QImage::Format_Grayscale8);
    grey.fill(QColor(128, 128, 128));
    WriteJpeg(Path("grey.jpg"), grey);
    QImage image;
    ASSERT_TRUE(ui::DecodeJpegFile(Path("grey.jpg"), image));
    EXPECT_EQ(image.size(), QSize(20, 10));
    ExpectColourNear(image, 10, 5, QColor(128, 128, 128));
}

// Every broken file fails cleanly: false, a null image (even when the caller's image held a
// picture before), and a reason naming the file.
TEST_F(SkinImageTest, BrokenFilesFailCleanly)
{
    // A busy picture, so that most of the file is entropy-coded data.
    QImage busy(256, 192, QImage::Format_RGB888);
    for (int y = 0; y < busy.height(); ++y)
        for (int x = 0; x < busy.width(); ++x)
            busy.setPixelColor(x, y, QColor((x * 7 + y * 13) % 256, (x * x + y) % 256, (x ^ y) % 256));
    WriteJpeg(Path("good.jpg"), busy);
    const std::vector<char> good = ReadBytes(Path("good.jpg"));
    ASSERT_GT(good.size(), 20000u);

    std::vector<char> huge = good; // the frame header claims 20000 x 20000 pixels
    bool patched = false;
    for (size_t i = 0; i + 8 < huge.size(); ++i)
        if (uchar(huge[i]) == 0xFF && uchar(huge[i + 1]) == 0xC0) {
            huge[i + 5] = huge[i + 7] = char(0x4E);
            huge[i + 6] = huge[i + 8] = char(0x20);
            patched = true;
            break;
        }
    ASSERT_TRUE(patched);
    std::vector<char> scrambled = good; // a stretch of entropy-coded data overwritten
    for (size_t i = good.size() * 6 / 10; i < good.size() * 7 / 10; ++i)
        scrambled[i] = char(0xD9 + i % 7);

    const std::map<std::string, std::vector<char>> cases = {
        {"empty.jpg", {}},
        {"text.jpg", {'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c', 't', 'u', 'r', 'e'}},
        {"truncated.jpg", std::vector<char>(good.begin(), good.begin() + long(good.size() * 9 / 10))},
        {"header_only.jpg", std::vector<char>(good.begin(), good.begin() + 20)},
        {"huge.jpg", huge},
        {"scrambled.jpg", scrambled},
    };
    for (const auto& [name, bytes] : cases)
        WriteBytes(Path(name), bytes);

    std::vector<std::string> names{"missing.jpg"};
    for (const auto& entry : cases)
        names.push_back(entry.first);
    for (const auto& name : names) {
        QImage image = TwoColourImage();
        std::string error;
        EXPECT_FALSE(ui::DecodeJpegFile(Path(name), image, &error)) << name;
        EXPECT_TRUE(image.isNull()) << name;
        EXPECT_NE(error.find(name), std::string::npos) << name << ": " << error;
    }
}

TEST_F(SkinImageTest, WritingWhereNoFileCanBeMadeFailsWithAReason)
{
    std::string error;
    EXPECT_FALSE(ui::WriteJpegFile(Path("no folder/x.jpg"), TwoColourImage(), 90, &error));
    EXPECT_NE(error.find("no folder/x.jpg"), std::string::npos) << error;
    EXPECT_FALSE(ui::WriteJpegFile(Path("null.jpg"), QImage(), 90, &error));
    EXPECT_FALSE(fs::exists(Path("null.jpg")));
}

TEST_F(SkinImageTest, LooksUpPicturesByNameAndAppliesAlpha)
{
    UseSkinFolder();
    EXPECT_EQ(ui::SkinFolder(), dir_.path().toStdString());
    EXPECT_EQ(ui::SkinPicturePath("icon"), Path("icon.jpg"));

    WriteJpeg(Path("plain.jpg"), TwoColourImage());
    WriteJpeg(Path("icon.jpg"), TwoColourImage());
    QImage alpha(64, 48, QImage::Format_Grayscale8);
    alpha.fill(0);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 32; ++x)
            alpha.scanLine(y)[x] = 255;
    WriteJpeg(Path("icon_alpha.jpg"), alpha);

    const QImage plain = ui::SkinImage("plain");
    ASSERT_FALSE(plain.isNull());
    EXPECT_FALSE(plain.hasAlphaChannel());

    const QImage icon = ui::SkinImage("icon");
    ASSERT_EQ(icon.size(), QSize(64, 48));
    ASSERT_TRUE(icon.hasAlphaChannel());
    EXPECT_GT(icon.pixelColor(12, 24).alpha(), 245);
    EXPECT_LT(icon.pixelColor(52, 24).alpha(), 10);
    ExpectColourNear(icon, 12, 24, QColor(220, 30, 40));

    const QPixmap pixmap = ui::SkinPixmap("icon");
    EXPECT_EQ(pixmap.size(), QSize(64, 48));
    EXPECT_TRUE(pixmap.hasAlphaChannel());
}

TEST_F(SkinImageTest, MissingOrBrokenSkinPicturesGiveNullImages)
{
    UseSkinFolder();
    WriteJpeg(Path("odd.jpg"), TwoColourImage());
    QImage small(8, 8, QImage::Format_Grayscale8);
    small.fill(255);
    WriteJpeg(Path("odd_alpha.jpg"), small); // alpha of another size
    WriteJpeg(Path("broken.jpg"), TwoColourImage());
    WriteBytes(Path("broken_alpha.jpg"), {'x'});

    for (const std::string name : {"absent", "odd", "broken"}) {
        QImage image = TwoColourImage();
        std::string error;
        EXPECT_FALSE(ui::LoadSkinImage(name, image, &error)) << name;
        EXPECT_TRUE(image.isNull()) << name;
        EXPECT_FALSE(error.empty()) << name;
        EXPECT_TRUE(ui::SkinImage(name).isNull()) << name;
        EXPECT_TRUE(ui::SkinPixmap(name).isNull()) << name;
    }
}

// The committed skin: found without any setting, every file decodes cleanly, the windows'
// pictures have their windows' sizes, and every picture button and icon is complete.
TEST(CommittedSkin, IsCompleteAndDecodes)
{
    qunsetenv(ui::kSkinFolderVariable);
    const fs::path folder = ui::SkinFolder();
    ASSERT_TRUE(fs::is_directory(folder)) << folder;

    std::map<std::string, QSize> sizes;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().extension() != ".jpg")
            continue;
        QImage image;
        std::string error;
        EXPECT_TRUE(ui::DecodeJpegFile(entry.path().string(), image, &error)) << error;
        sizes[entry.path().stem().string()] = image.size();
    }
    ASSERT_GT(sizes.size(), 50u);

    const std::map<std::string, QSize> windows = {
        {"main_start", {960, 662}},   {"main_new_project", {960, 662}}, {"main_zone_editor", {960, 662}},
        {"main_playlist", {960, 662}}, {"main_top", {960, 44}},          {"main_navigation", {160, 618}},
        {"export_wav", {483, 140}},   {"export_mp3", {483, 140}},        {"trigger_back", {384, 80}},
        {"preferences_back", {393, 189}}, {"trigger_mouse", {32, 32}},   {"trigger_key", {32, 32}},
        {"icon_volume", {24, 24}},    {"icon_tempo", {24, 24}},          {"icon_pitch", {24, 24}},
        {"icon_fade_in", {24, 24}},   {"icon_fade_out", {24, 24}},       {"icon_overlap", {24, 24}},
        {"icon_mouse", {32, 32}},     {"icon_any_key", {32, 32}},        {"icon_overlap_gray", {32, 32}},
    };
    for (const auto& [name, size] : windows)
        EXPECT_EQ(sizes[name], size) << name;

    auto endsWith = [](const std::string& s, const std::string& tail) {
        return s.size() > tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
    };
    for (const auto& [name, size] : sizes) {
        for (const std::string tail : {"_hover", "_down", "_alpha"}) {
            if (!endsWith(name, tail))
                continue;
            const std::string base = name.substr(0, name.size() - tail.size());
            ASSERT_TRUE(sizes.count(base)) << name << " has no " << base;
            EXPECT_EQ(size, sizes[base]) << name;
        }
        if (endsWith(name, "_hover")) {
            EXPECT_TRUE(sizes.count(name.substr(0, name.size() - 6) + "_down")) << name;
        }
    }
    EXPECT_TRUE(ui::SkinImage("icon_volume").hasAlphaChannel());
}

} // namespace
