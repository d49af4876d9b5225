// The settings tests; with "--increment-store PATH COUNT" the binary is
// instead the other process of the store's cross-process test.

#include "SettingsStore.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <cstring>

namespace {

int incrementStore(const QString& path, int count)
{
    operator_state::SettingsStore store(path);
    for (int i = 0; i < count; ++i) {
        const bool stored = store.update([](operator_state::SettingsStore::Values& values) {
            values.insert(QStringLiteral("n"), values.value(QStringLiteral("n")).toLongLong() + 1);
        });
        if (!stored)
            return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    if (argc == 4 && std::strcmp(argv[1], "--increment-store") == 0)
        return incrementStore(QString::fromLocal8Bit(argv[2]), std::atoi(argv[3]));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
