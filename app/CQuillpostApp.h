#pragma once

#include <QApplication>

// The application object: sets up the settings store and the Qt application, runs the main window
// until it ends, and returns the process's exit code.
class CQuillpostApp {
public:
    CQuillpostApp(int& argc, char** argv);
    int Run();

private:
    QApplication m_app;
};
