// Internal notifications: delivery by name with user info, observers changing observers mid-post.
#include "settings/notification_center.hpp"
#include "settings/setting_enums.hpp"

#include <gtest/gtest.h>

namespace tilewise {
namespace {

TEST(NotificationCenterTest, DeliversByNameWithUserInfo)
{
    NotificationCenter center;
    std::vector<std::string> got;
    center.addObserver(notification_names::openSettingTab, [&](const NotificationCenter::UserInfo& info) {
        got.push_back("tab " + info.at(notification_keys::tab));
    });
    center.addObserver(notification_names::pairWindow, [&](const NotificationCenter::UserInfo& info) {
        got.push_back("pair " + std::to_string(info.size()));
    });

    center.post(notification_names::openSettingTab,
                {{notification_keys::tab, std::string(rawValue(SettingTab::shortcuts))}});
    center.post(notification_names::pairWindow);
    center.post(notification_names::shortcutByNameDidChange, {{notification_keys::name, "clipLeft"}});
    EXPECT_EQ(got, (std::vector<std::string>{"tab shortcuts", "pair 0"}));
    EXPECT_EQ(settingTabFromRaw(got[0].substr(4)), SettingTab::shortcuts);
}

TEST(NotificationCenterTest, ObserversChangingTheRegistryDuringAPost)
{
    NotificationCenter center;
    std::vector<int> calls;
    NotificationCenter::ObserverId second = 0;
    center.addObserver("pairWindow", [&](const auto&) {
        calls.push_back(1);
        center.removeObserver(second);
        // Added during the post: heard from the next post on.
        center.addObserver("pairWindow", [&](const auto&) { calls.push_back(3); });
    });
    second = center.addObserver("pairWindow", [&](const auto&) { calls.push_back(2); });
    center.post("pairWindow");
    EXPECT_EQ(calls, std::vector<int>{1});
    calls.clear();
    center.post("pairWindow");
    EXPECT_EQ(calls, (std::vector<int>{1, 3}));
}

} // namespace
} // namespace tilewise
