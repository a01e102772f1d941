#pragma once

#include <initializer_list>

class QWidget;
class TSkinPicture;

// One skin picture of a page or strip: the member it is kept in, its skin, its place in the
// parent and the help line that describes it.
struct PagePicture {
    TSkinPicture** control;
    const char* skin;
    int left;
    int top;
    int helpContext = 0; // none of its own
};

// Creates the pictures in `parent`, each with its help context.
void PlacePictures(QWidget* parent, std::initializer_list<PagePicture> pictures);

// The help context of a control: the help.txt line that describes it (0 uses line 1). The main
// window shows the topic of every control of its own that has one as the pointer moves over it.
void SetHelpContext(QWidget* control, int helpContext);
int HelpContext(const QWidget* control);
bool HasHelpContext(const QWidget* control);
