// The plug-in loaded as a real module into libobs.

#include "kpmodule.h"
#include "kpobstestenvironment.h"

#include <QProcess>
#include <QSet>

#include <dlfcn.h>
#include <util/bmem.h>

#include <gtest/gtest.h>

namespace {

auto *g_environment = ::testing::AddGlobalTestEnvironment(new KPObsTestEnvironment({false, true}));

void *moduleLibrary()
{
    return dlopen(KPObsTestEnvironment::pluginPath().toLocal8Bit().constData(), RTLD_NOW | RTLD_NOLOAD);
}

template<typename Function> Function moduleFunction(const char *name)
{
    return reinterpret_cast<Function>(dlsym(moduleLibrary(), name));
}

obs_module_t *loadedModule()
{
    obs_module_t *found = nullptr;
    obs_enum_modules(
        [](void *param, obs_module_t *module) {
            if (QByteArray(obs_get_module_file_name(module)) == "kp-source.so")
                *static_cast<obs_module_t **>(param) = module;
        },
        &found);
    return found;
}

} // namespace

TEST(Module, ExportsExactlyTheFiveModuleFunctions)
{
    QProcess nm;
    nm.start(QStringLiteral("nm"), {QStringLiteral("-D"), QStringLiteral("--defined-only"), KPObsTestEnvironment::pluginPath()});
    ASSERT_TRUE(nm.waitForFinished(30000));
    QSet<QString> exported;
    for (const QString &line : QString::fromLocal8Bit(nm.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts))
        exported.insert(line.section(' ', -1));
    const QSet<QString> expected = {"obs_module_set_pointer", "obs_module_ver", "obs_module_load",
                                    "obs_module_set_locale", "obs_module_free_locale"};
    EXPECT_EQ(exported, expected);
}

TEST(Module, AnswersItsApiVersionWhateverTheHost)
{
    ASSERT_NE(loadedModule(), nullptr);
    auto version = moduleFunction<uint32_t (*)()>("obs_module_ver");
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(version(), 0x13000003u);
}

TEST(Module, SettingTheLocaleAgainReplacesTheLookupWithoutLeaking)
{
    auto setLocale = moduleFunction<void (*)(const char *)>("obs_module_set_locale");
    ASSERT_NE(setLocale, nullptr);
    // libobs's own threads allocate now and then, so the process-wide count
    // may drift by a block or two; a lookup left behind holds a block per
    // text line, so many rounds of leaking would stand far above the drift.
    constexpr long rounds = 20;
    setLocale("en-US");
    const long before = bnum_allocs();
    for (long i = 0; i < rounds; ++i) {
        setLocale("de-DE");
        setLocale("en-US");
    }
    EXPECT_LT(bnum_allocs() - before, rounds);
}

TEST(ModuleText, LooksKeysUpAndShowsMissingOnesAsThemselves)
{
    EXPECT_STREQ(obs_module_text("kp_white_board"), "kp_white_board");

    kpmodule::setModuleHandle(loadedModule());
    kpmodule::setLocale("en-US");
    EXPECT_STREQ(obs_module_text("kp_white_board"), "Whiteboard");
    EXPECT_STREQ(obs_module_text("no_such_key"), "no_such_key");

    kpmodule::freeLocale();
    EXPECT_STREQ(obs_module_text("kp_white_board"), "kp_white_board");
    kpmodule::setModuleHandle(nullptr);
}
