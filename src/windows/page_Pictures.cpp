#include "windows/page_Pictures.h"

#include "GraphControls/class_SkinPicture.h"

#include <QVariant>

namespace {

constexpr const char* kHelpContextProperty = "HelpContext";

} // namespace

void PlacePictures(QWidget* parent, std::initializer_list<PagePicture> pictures)
{
    for (const PagePicture& picture : pictures) {
        *picture.control = new TSkinPicture(parent, picture.skin, picture.left, picture.top);
        if (picture.helpContext)
            SetHelpContext(*picture.control, picture.helpContext);
    }
}

void SetHelpContext(QWidget* control, int helpContext)
{
    control->setProperty(kHelpContextProperty, helpContext);
}

int HelpContext(const QWidget* control)
{
    return control->property(kHelpContextProperty).toInt();
}

bool HasHelpContext(const QWidget* control)
{
    return control->property(kHelpContextProperty).isValid();
}
