#include "simparameter.h"


namespace vendor {
namespace rtc {

void SimParameter::release()
{
    delete this;
}

int SimParameter::setBool(const char *key, bool value)
{
    return m_engine->setBoolParameter(key, value);
}

int SimParameter::setParameters(const char *parameters)
{
    return m_engine->setParameters(parameters);
}

} // namespace rtc
} // namespace vendor
