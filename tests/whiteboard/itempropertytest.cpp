#include "boardtestsupport.h"
#include "kputilinterface.h"

#include <gtest/gtest.h>

using namespace boardtest;

TEST(ItemProperty, MissingKeysReadAsZeroAndDefaultsOverwriteTheTool)
{
    KPWB::ItemProperty property;
    KPUtilInterface::updateWithSettings(property, nullptr);
    EXPECT_EQ(property.size, 0u);
    EXPECT_EQ(property.color, 0u);
    EXPECT_EQ(property.type, 0);

    Data settings(obs_data_create());
    obs_data_set_int(settings.get(), "kp_wb_draw_type", 6);
    obs_data_set_int(settings.get(), "kp_wb_draw_color", 0xffff0000);
    obs_data_set_int(settings.get(), "kp_wb_draw_size", 5);
    KPUtilInterface::setDefaults(settings.get());
    KPUtilInterface::updateWithSettings(property, settings.get());
    EXPECT_EQ(property.type, 0);
    EXPECT_EQ(property.color, 0xff0000ffu);
    EXPECT_EQ(property.size, 20u);
    EXPECT_EQ(obs_data_get_int(settings.get(), "kp_wb_draw_color"), 4278190335LL);
}

TEST(ItemProperty, NegativeTypeAndTopBitColourSurviveARoundTrip)
{
    KPWB::ItemProperty written;
    written.type = -5;
    written.color = 0x80ff00ffu;
    written.size = 0xfffffff0u;
    Data settings(obs_data_create());
    KPUtilInterface::writeSettings(written, settings.get());
    EXPECT_EQ(obs_data_get_int(settings.get(), "kp_wb_draw_type"), -5);
    EXPECT_EQ(obs_data_get_int(settings.get(), "kp_wb_draw_color"), 0x80ff00ffLL);
    EXPECT_EQ(obs_data_get_default_int(settings.get(), "kp_wb_draw_type"), -5);

    KPWB::ItemProperty read;
    KPUtilInterface::updateWithSettings(read, settings.get());
    EXPECT_EQ(read.type, -5);
    EXPECT_EQ(read.color, 0x80ff00ffu);
    EXPECT_EQ(read.size, 0xfffffff0u);
}

TEST(ItemProperty, ColourTakesRedFromTheLowByteAndAlphaFromTheHighByte)
{
    EXPECT_EQ(KPUtilInterface::toQColor(0xff0000ffu), QColor(255, 0, 0, 255));
    EXPECT_EQ(KPUtilInterface::toQColor(0x8000ff00u), QColor(0, 255, 0, 128));
    EXPECT_EQ(KPUtilInterface::toQColor(0x00ff0000u), QColor(0, 0, 255, 0));
}

TEST(ItemProperty, PropertySheetListsElevenTypesWithoutText)
{
    obs_properties_t *properties = obs_properties_create();
    KPUtilInterface::addProperties(properties);
    obs_property_t *size = obs_properties_get(properties, "kp_wb_draw_size");
    ASSERT_NE(size, nullptr);
    EXPECT_EQ(obs_property_int_min(size), 1);
    EXPECT_EQ(obs_property_int_max(size), 200);
    EXPECT_EQ(obs_property_get_type(obs_properties_get(properties, "kp_wb_draw_color")),
              OBS_PROPERTY_COLOR);
    obs_property_t *types = obs_properties_get(properties, "kp_wb_draw_type");
    ASSERT_NE(types, nullptr);
    const long long expected[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    ASSERT_EQ(obs_property_list_item_count(types), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i)
        EXPECT_EQ(obs_property_list_item_int(types, i), expected[i]);
    // Without a locale the captions are the names themselves.
    EXPECT_STREQ(obs_property_list_item_name(types, 8), "Draw_ITEM_TYPE_PEN_ALPHA");
    EXPECT_STREQ(obs_property_list_item_name(types, 11), "DRAW_ITEM_TYPE_SPOTLIGHT");
    obs_properties_destroy(properties);
}
