#pragma once
// Tells the repeats of a held key from fresh presses. Qt marks repeats as
// such, but where the window system cannot report them (an X server without
// detectable auto-repeat) some arrive as a release and a new press with the
// very same time stamp; those are repeats too. No hand presses a key again
// within a few milliseconds of letting it go.

#include <QKeyEvent>

class KeyRepeat {
public:
    bool isRepeat(const QKeyEvent& press) const
    {
        if (press.isAutoRepeat())
            return true;
        // Events made by hand (tests) carry no time stamp.
        return press.timestamp() != 0 && press.key() == m_key && press.timestamp() - m_releasedAt < kGapMs;
    }
    void released(const QKeyEvent& release)
    {
        m_key = release.key();
        m_releasedAt = release.timestamp();
    }

private:
    static constexpr quint64 kGapMs = 15;
    int m_key = 0;
    quint64 m_releasedAt = 0;
};
