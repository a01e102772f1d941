#include "windows/page_Start.h"

#include "GraphControls/class_SkinPicture.h"
#include "windows/page_Pictures.h"

TPageStart::TPageStart(QWidget* parent) : QWidget(parent)
{
    PlacePictures(this, {
                            {&Image1, "main_start", 0, 0, 39},
                            {&Image3, "start_new_project", 236, 318, 9},
                            {&Image21, "start_load_project", 460, 318, 7},
                            {&Image2, "start_quit", 684, 318, 10},
                        });
}

TPageNewProject::TPageNewProject(QWidget* parent) : QWidget(parent)
{
    Image4 = new TSkinPicture(this, "main_new_project", 0, 0);
}
