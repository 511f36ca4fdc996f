// What the activity controller switches: one running renderer session's active flag.
#pragma once

class ActivitySession {
public:
    virtual void SetActive(bool on) = 0;

protected:
    ~ActivitySession() = default;
};
