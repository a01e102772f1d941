#pragma once

#include <QWidget>

class TSkinPicture;

// The start page: new project, load project, quit. The main window acts on its pictures.
class TPageStart : public QWidget {
    Q_OBJECT
public:
    explicit TPageStart(QWidget* parent);

    TSkinPicture* Image1;  // background
    TSkinPicture* Image3;  // new project
    TSkinPicture* Image21; // load project
    TSkinPicture* Image2;  // quit
};

// The "New Project" page: its artwork only; its size is the main window's.
class TPageNewProject : public QWidget {
    Q_OBJECT
public:
    explicit TPageNewProject(QWidget* parent);

    TSkinPicture* Image4;
};
