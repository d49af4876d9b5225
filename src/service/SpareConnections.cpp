#include "SpareConnections.h"

#include "DbError.h"
#include "Log.h"
#include "Query.h"

namespace service {

SpareConnections::SpareConnections(db::ConnectionOptions options, int capacity, QString warmUp)
    : options_(std::move(options)), capacity_(capacity), warmUp_(std::move(warmUp))
{
}

SpareConnections::~SpareConnections()
{
    stopping_ = true;
    if (filling_.joinable())
        filling_.join();
    std::lock_guard lock(mutex_);
    for (const auto& connection : spare_)
        connection->detach();
}

void SpareConnections::fill()
{
    if (!filling_.joinable())
        filling_ = std::thread([this] { keepFilling(); });
}

// Connections the sessions take meanwhile are not made up for: the filling
// attaches `capacity_` connections at most, once.
void SpareConnections::keepFilling()
{
    for (int attached = 0; attached < capacity_ && !stopping_ && spare() < capacity_; ++attached) {
        auto connection = std::make_unique<db::Connection>(options_);
        try {
            connection->attach();
            if (!warmUp_.isEmpty())
                db::Query(*connection, warmUp_).open();
        } catch (const db::DbError& e) {
            logging::warning("connections.not_attached", {{"spare", spare()}, {"error", e.message()}});
            return;
        }
        std::lock_guard lock(mutex_);
        spare_.push_back(std::move(connection));
    }
    logging::debug("connections.spare", {{"spare", spare()}});
}

std::unique_ptr<db::Connection> SpareConnections::takeSpare()
{
    std::lock_guard lock(mutex_);
    if (spare_.empty())
        return nullptr;
    auto connection = std::move(spare_.back());
    spare_.pop_back();
    return connection;
}

std::unique_ptr<db::Connection> SpareConnections::take()
{
    while (auto connection = takeSpare()) {
        if (connection->ping())
            return connection;
        connection->detach();
    }
    auto connection = std::make_unique<db::Connection>(options_);
    connection->attach();
    return connection;
}

void SpareConnections::giveBack(std::unique_ptr<db::Connection> connection)
{
    if (connection->isAttached() && !stopping_) {
        std::lock_guard lock(mutex_);
        if (static_cast<int>(spare_.size()) < capacity_) {
            spare_.push_back(std::move(connection));
            return;
        }
    }
    connection->detach();
}

int SpareConnections::spare() const
{
    std::lock_guard lock(mutex_);
    return static_cast<int>(spare_.size());
}

}  // namespace service
