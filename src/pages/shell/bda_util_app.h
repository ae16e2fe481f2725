#pragma once
// The application object: prepares the component library, lets the user choose a tuner and
// runs the main window until it closes.
class CBDAUtilApp {
public:
    virtual ~CBDAUtilApp() = default;

    // Runs the program from start to end; returns false, so that no message loop of its own
    // follows.
    bool InitInstance();

protected:
    // Creates the main window, runs it modally and destroys it.
    virtual void RunMainWindow();
};
