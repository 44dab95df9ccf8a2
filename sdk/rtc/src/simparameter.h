#pragma once

#include "vendor/rtc/irtcengineparameter.h"

namespace vendor {
namespace rtc {

class SimEngine;

// The parameter interface handed out by queryInterface; each one is a fresh
// object that forwards to its engine and deletes itself on release().
class SimParameter : public IRtcEngineParameter
{
public:
    explicit SimParameter(SimEngine *engine) : m_engine(engine) {}

    void release() override;
    int setBool(const char *key, bool value) override;
    int setParameters(const char *parameters) override;

private:
    SimEngine *m_engine;
};

} // namespace rtc
} // namespace vendor
