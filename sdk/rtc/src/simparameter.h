#pragma once

#include "vendor/rtc/irtcengineparameter.h"

namespace vendor {
namespace rtc {

// What an engine offers its parameter objects.
class ParameterTarget
{
public:
    virtual int setBoolParameter(const char *key, bool value) = 0;
    virtual int setParameters(const char *parameters) = 0;

protected:
    ~ParameterTarget() = default;
};

// The parameter interface handed out by queryInterface; each one is a fresh
// object that forwards to its engine and deletes itself on release().
class SimParameter : public IRtcEngineParameter
{
public:
    explicit SimParameter(ParameterTarget *engine) : m_engine(engine) {}

    void release() override;
    int setBool(const char *key, bool value) override;
    int setParameters(const char *parameters) override;

private:
    ParameterTarget *m_engine;
};

} // namespace rtc
} // namespace vendor
