// Connections attached ahead for the sessions: filled in the background,
// taken and given back, and one the database no longer answers let go.

#include "Query.h"
#include "ServiceFixture.h"
#include "SpareConnections.h"

#include <QDeadlineTimer>
#include <QThread>

using namespace servicetest;

namespace {

std::int64_t attachmentOf(db::Connection& c)
{
    db::Query q(c, QStringLiteral("SELECT CURRENT_CONNECTION FROM RDB$DATABASE"));
    q.open();
    return q.field(0).asInt64();
}

class SpareConnectionsTest : public ServiceTest {};

}  // namespace

TEST_F(SpareConnectionsTest, FillingAttachesUpToTheCapacityAndASessionTakesOneAndGivesItBack)
{
    service::SpareConnections spare(database.options(), 2);
    spare.fill();
    const QDeadlineTimer deadline(30000);
    while (spare.spare() < 2 && !deadline.hasExpired())
        QThread::msleep(5);
    ASSERT_EQ(spare.spare(), 2);

    context.spareConnections = &spare;
    {
        service::RpcSession client(context);
        EXPECT_EQ(result("EchoString", QJsonArray{"a"}, &client), "a");
        EXPECT_EQ(spare.spare(), 1);
    }
    EXPECT_EQ(spare.spare(), 2);

    // Beyond the capacity a connection given back is detached.
    auto first = spare.take();
    auto second = spare.take();
    auto third = spare.take();
    EXPECT_TRUE(third->isAttached());
    spare.giveBack(std::move(first));
    spare.giveBack(std::move(second));
    spare.giveBack(std::move(third));
    EXPECT_EQ(spare.spare(), 2);
}

TEST_F(SpareConnectionsTest, ASpareConnectionTheDatabaseNoLongerAnswersIsLetGo)
{
    service::SpareConnections spare(database.options(), 1);
    auto taken = spare.take();
    const std::int64_t gone = attachmentOf(*taken);
    spare.giveBack(std::move(taken));
    ASSERT_EQ(spare.spare(), 1);
    database.run(QStringLiteral("DELETE FROM MON$ATTACHMENTS WHERE MON$ATTACHMENT_ID = %1").arg(gone));

    auto fresh = spare.take();
    EXPECT_NE(attachmentOf(*fresh), gone);
    EXPECT_EQ(spare.spare(), 0);
}
