#include "SharedRuns.h"

namespace service {

QByteArray SharedRuns::answer(const QString& key, const std::function<QByteArray()>& run)
{
    std::unique_lock lock(mutex_);
    Key& k = keys_[key];  // a map's elements stay where they are
    if (!k.going && !k.next) {
        k.going = std::make_shared<Run>();
        k.going->requests = 1;
        return lead(lock, key, k.going, run);
    }
    const bool leads = !k.next;
    if (leads)
        k.next = std::make_shared<Run>();
    const std::shared_ptr<Run> mine = k.next;
    ++mine->requests;
    if (leads) {
        changed_.wait(lock, [&] { return !k.going; });
        k.going = std::move(k.next);
        k.next.reset();
        return lead(lock, key, mine, run);
    }
    changed_.wait(lock, [&] { return mine->done; });
    if (mine->failure)
        std::rethrow_exception(mine->failure);
    return mine->answer;
}

QByteArray SharedRuns::lead(std::unique_lock<std::mutex>& lock, const QString& key, const std::shared_ptr<Run>& run,
                            const std::function<QByteArray()>& work)
{
    lock.unlock();
    QByteArray answer;
    std::exception_ptr failure;
    try {
        answer = work();
    } catch (...) {
        failure = std::current_exception();
    }
    lock.lock();
    run->answer = answer;
    run->failure = failure;
    run->done = true;
    const auto k = keys_.find(key);
    k->second.going.reset();
    if (!k->second.next)
        keys_.erase(k);
    changed_.notify_all();
    lock.unlock();
    if (failure)
        std::rethrow_exception(failure);
    return answer;
}

int SharedRuns::waitingForNext(const QString& key) const
{
    std::lock_guard lock(mutex_);
    const auto k = keys_.find(key);
    return k == keys_.end() || !k->second.next ? 0 : k->second.next->requests;
}

}  // namespace service
