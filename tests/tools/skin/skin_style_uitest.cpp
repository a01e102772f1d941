// The skin's picture buttons show their whole captions: every button of the catalogue, in each of
// its three pictures, sets each text in a box inside the button that the text fits.
#include "skin_catalogue.h"
#include "skin_style.h"

#include <QFontMetricsF>
#include <gtest/gtest.h>

namespace {

using namespace skin;

constexpr ButtonState kStates[] = {ButtonState::Normal, ButtonState::Hover, ButtonState::Down};

const char* StateName(ButtonState state)
{
    return state == ButtonState::Normal ? "normal" : state == ButtonState::Hover ? "hover" : "down";
}

void ExpectWholeTexts(const std::string& what, const QRect& button, const ButtonFace& face, ButtonState state)
{
    for (const ButtonText& text : ButtonTexts(button, face, state)) {
        const qreal width = QFontMetricsF(text.font).horizontalAdvance(text.text);
        EXPECT_LE(width, text.box.width()) << what << " (" << StateName(state) << "): \""
                                           << text.text.toStdString() << "\"";
        // The pressed picture moves its texts a pixel down and right; what counts is the width.
        EXPECT_TRUE(text.box.left() >= button.left() && text.box.right() <= QRectF(button).right() + 1)
            << what << " (" << StateName(state) << ")";
    }
}

TEST(SkinButtons, EveryCaptionFitsInEveryState)
{
    int buttons = 0;
    for (const Picture& picture : Catalogue()) {
        if (picture.kind != Kind::Button && picture.kind != Kind::Highlight)
            continue;
        ++buttons;
        for (ButtonState state : kStates)
            ExpectWholeTexts(picture.file, QRect(QPoint(0, 0), picture.rect.size()), picture.face, state);
    }
    EXPECT_GT(buttons, 40);
}

TEST(SkinButtons, ACaptionKeepsOneSizeInItsThreePicturesAndLongOnesShrinkToFit)
{
    const QRect navigation(0, 0, 144, 32);
    const struct {
        ButtonStyle style;
        QRect rect;
        const char* caption;
    } cases[] = {
        {ButtonStyle::Navigation, navigation, "Add From Disk"},
        {ButtonStyle::Navigation, navigation, "Load Repository"},
        {ButtonStyle::Plain, QRect(0, 0, 84, 30), "Export Mix"},
        {ButtonStyle::Stacked, QRect(0, 0, 56, 48), "Import Bins"},
        {ButtonStyle::Tile, QRect(0, 0, 188, 48), "Transformation of the row"},
    };
    for (const auto& c : cases) {
        ButtonFace face;
        face.style = c.style;
        face.glyph = Glyph::Plus;
        face.caption = c.caption;
        int size = -1;
        for (ButtonState state : kStates) {
            ExpectWholeTexts(c.caption, c.rect, face, state);
            const int pixels = ButtonTexts(c.rect, face, state).front().font.pixelSize();
            if (size >= 0) {
                EXPECT_EQ(pixels, size) << c.caption << " (" << StateName(state) << ")";
            }
            size = pixels;
        }
    }
}

} // namespace
