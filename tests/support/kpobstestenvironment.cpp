#include "kpobstestenvironment.h"

#include <QTemporaryDir>

namespace {

KPObsRuntime &sharedRuntime()
{
    static KPObsRuntime runtime;
    return runtime;
}

QTemporaryDir &moduleConfig()
{
    static QTemporaryDir folder;
    return folder;
}

} // namespace

KPObsTestEnvironment::KPObsTestEnvironment(const Setup &setup) : m_setup(setup) {}

void KPObsTestEnvironment::SetUp()
{
    KPObsRuntime::Options options;
    options.video = m_setup.video;
    options.width = m_setup.width;
    options.height = m_setup.height;
    options.moduleConfig = moduleConfigPath();
    QString error;
    ASSERT_TRUE(sharedRuntime().start(options, &error)) << error.toStdString();
    if (m_setup.plugin) {
        ASSERT_TRUE(sharedRuntime().loadModule(pluginPath(), pluginDataPath(), &error))
            << error.toStdString();
    }
}

void KPObsTestEnvironment::TearDown()
{
    sharedRuntime().shutdown();
}

KPObsRuntime &KPObsTestEnvironment::runtime()
{
    return sharedRuntime();
}

QString KPObsTestEnvironment::pluginPath()
{
    return QStringLiteral(KP_TEST_PLUGIN_PATH);
}

QString KPObsTestEnvironment::moduleConfigPath()
{
    return moduleConfig().path();
}

QString KPObsTestEnvironment::pluginDataPath()
{
    return QStringLiteral(KP_TEST_PLUGIN_DATA);
}
