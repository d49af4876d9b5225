// Who releases an object of the client library: Owned, or the call that
// ended it.

#include "FbApi.h"

#include <gtest/gtest.h>

#include <stdexcept>

using db::fb::Owned;

namespace {

// Counts the releases it gets, as a reference-counted object would take them.
struct Object {
    int releases = 0;
    int release()
    {
        ++releases;
        return 0;
    }
};

// An ending call such as close or commit: on success it releases the object
// itself, which the caller must then not do again.
void endingCall(Object*, bool succeeds)
{
    if (!succeeds)
        throw std::runtime_error("the call failed");
}

}  // namespace

TEST(OwnedTest, AnEndingCallReleasesOnSuccessAndOwnedOnFailureUnlessItKeeps)
{
    struct Case {
        const char* what;
        bool keepsOnFailure;
        bool succeeds;
        int releasedByOwned;
        bool heldAfterwards;
    };
    const Case cases[] = {
        {"end, succeeded", false, true, 0, false},
        {"end, failed", false, false, 1, false},
        {"end or keep, succeeded", true, true, 0, false},
        {"end or keep, failed", true, false, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Object object;
        const int before = db::heldClientObjects();
        {
            Owned<Object> owned(&object);
            EXPECT_EQ(db::heldClientObjects(), before + 1);
            const auto call = [&](Object* o) { endingCall(o, c.succeeds); };
            try {
                if (c.keepsOnFailure)
                    owned.endOrKeep(call);
                else
                    owned.end(call);
                EXPECT_TRUE(c.succeeds);
            } catch (const std::runtime_error&) {
                EXPECT_FALSE(c.succeeds);
            }
            EXPECT_EQ(object.releases, c.releasedByOwned);
            EXPECT_EQ(static_cast<bool>(owned), c.heldAfterwards);
            EXPECT_EQ(db::heldClientObjects(), before + (c.heldAfterwards ? 1 : 0));
        }
        // What was still held goes when the owner does, once.
        EXPECT_EQ(object.releases, c.releasedByOwned + (c.heldAfterwards ? 1 : 0));
        EXPECT_EQ(db::heldClientObjects(), before);
    }
}

TEST(OwnedTest, MovingHandsTheObjectOnAndReplacingReleasesTheOldOne)
{
    Object first, second;
    const int before = db::heldClientObjects();
    {
        Owned<Object> a(&first);
        Owned<Object> b(std::move(a));
        EXPECT_FALSE(a);
        EXPECT_EQ(b.get(), &first);
        b.reset(&second);
        EXPECT_EQ(first.releases, 1);
        Owned<Object> c;
        c = std::move(b);
        EXPECT_EQ(second.releases, 0);
        EXPECT_EQ(db::heldClientObjects(), before + 1);
    }
    EXPECT_EQ(first.releases, 1);
    EXPECT_EQ(second.releases, 1);
    EXPECT_EQ(db::heldClientObjects(), before);
}
