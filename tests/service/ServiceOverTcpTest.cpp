// The service behind the server's TCP container on loopback: a handheld
// builds a waybill over a real connection.

#include "ServerClass.h"
#include "WaybillFixture.h"

#include <QCoreApplication>
#include <QTcpSocket>
#include <QTest>

using namespace servicetest;

namespace {

class ServiceOverTcpTest : public WaybillTest {
protected:
    ServiceOverTcpTest()
        : container(host::DSServerClass1GetClass(context),
                    host::ListenOptions{QHostAddress::LocalHost, 0})
    {
        socket.connectToHost(QHostAddress::LocalHost, container.port());
        transport = [this](const QByteArray& line) { return roundTrip(line); };
    }

    QByteArray roundTrip(const QByteArray& line)
    {
        socket.write(line + '\n');
        EXPECT_TRUE(QTest::qWaitFor([&] { return socket.canReadLine(); }, 60000)) << line.toStdString();
        return socket.readLine().chopped(1);
    }

    host::TServerContainer1 container;
    QTcpSocket socket;
};

}  // namespace

TEST_F(ServiceOverTcpTest, AHandheldBuildsAWaybillOverTcp)
{
    buildAWaybillAsAHandheld();
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
