// Runs every registered widget test class on one application object.
#include "ui_test.hpp"

#include <QApplication>
#include <QTest>

namespace tilewise::ui_test {

std::vector<Factory>& registry()
{
    static std::vector<Factory> tests;
    return tests;
}

} // namespace tilewise::ui_test

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int failures = 0;
    for (const tilewise::ui_test::Factory& make : tilewise::ui_test::registry()) {
        std::unique_ptr<QObject> test = make();
        failures += QTest::qExec(test.get(), argc, argv);
    }
    return failures == 0 ? 0 : 1;
}
