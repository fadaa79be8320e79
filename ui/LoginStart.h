#pragma once

// Whether the desktop starts the program when the user logs in; the entry itself is the
// platform's (an autostart file, a registry value).
class ILoginStart {
public:
    virtual ~ILoginStart() = default;

    // Whether an entry exists and starts this very executable.
    virtual bool IsOn() const = 0;
    // Writes or removes the entry; false when that failed.
    virtual bool SetOn(bool on) = 0;
};
