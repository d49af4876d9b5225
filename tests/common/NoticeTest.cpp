#include "My_proc.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

TEST(ShowErrorNotice, JoinsFunctionAndMessageToTheFixedWording)
{
    const common::NoticeRecorder recorder;
    common::ShowErrorNotice(QStringLiteral("GetFieldByIsn"), QStringLiteral("tabula nav"));
    common::ShowErrorNotice({}, {});
    const QStringList notices = recorder.notices();
    ASSERT_EQ(notices.size(), 2);
    EXPECT_EQ(notices[0].toStdString(), "KĻŪDA FUNKCIJA :GetFieldByIsn PAZIŅOJUMS tabula nav");
    EXPECT_EQ(notices[1].toStdString(), "KĻŪDA FUNKCIJA : PAZIŅOJUMS ");
}

TEST(ShowErrorNotice, GoesToStandardErrorByDefault)
{
    testing::internal::CaptureStderr();
    common::ShowErrorNotice(QStringLiteral("f"), QStringLiteral("ziņa"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "KĻŪDA FUNKCIJA :f PAZIŅOJUMS ziņa\n");
}

TEST(ShowErrorNotice, AnEmptyNotifierMeansStandardError)
{
    const common::NoticeRecorder recorder;
    const common::ErrorNotifier previous = common::setErrorNotifier({});
    testing::internal::CaptureStderr();
    common::ShowErrorNotice({}, QStringLiteral("x"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "KĻŪDA FUNKCIJA : PAZIŅOJUMS x\n");
    common::setErrorNotifier(previous);
    EXPECT_TRUE(recorder.notices().isEmpty());
}

TEST(NoticeRecorder, PutsThePreviousNotifierBack)
{
    const common::NoticeRecorder outer;
    {
        const common::NoticeRecorder inner;
        common::ShowErrorNotice({}, QStringLiteral("inner"));
        EXPECT_EQ(inner.notices().size(), 1);
    }
    common::ShowErrorNotice({}, QStringLiteral("outer"));
    ASSERT_EQ(outer.notices().size(), 1);
    EXPECT_EQ(outer.notices().front().toStdString(), "KĻŪDA FUNKCIJA : PAZIŅOJUMS outer");
}

TEST(NoticeRecorder, KeepsEveryNoticeFromManyThreads)
{
    const common::NoticeRecorder recorder;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([] {
            for (int i = 0; i < 100; ++i)
                common::ShowErrorNotice({}, QString::number(i));
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(recorder.notices().size(), 400);
}

}  // namespace
