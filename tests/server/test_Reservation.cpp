// The reservation of a served device: held from a client's first request until it releases
// the device or falls silent for three heartbeat periods.
#include "server/Reservation.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

using devserver::Reservation;

// Long enough that no test here outlives three periods.
constexpr uint32_t kLongPeriodMs = 60000;
// Short enough that waiting out three periods costs little.
constexpr uint32_t kShortPeriodMs = 5;

void waitOutThreePeriods(uint32_t periodMs)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(3 * periodMs + 20));
}

TEST(Reservation, FreeUntilUsedAndAfterRelease)
{
    Reservation reservation(kLongPeriodMs);
    EXPECT_TRUE(reservation.isFree());
    EXPECT_FALSE(reservation.expire()); // nothing to end

    reservation.markUsed();
    EXPECT_FALSE(reservation.isFree());
    EXPECT_FALSE(reservation.expire()); // the client is still heard

    reservation.release();
    EXPECT_TRUE(reservation.isFree());
    EXPECT_FALSE(reservation.expire());

    reservation.markUsed();
    EXPECT_FALSE(reservation.isFree());
}

TEST(Reservation, SilenceOfThreePeriodsFreesTheDeviceAndExpiresItOnce)
{
    Reservation reservation(kShortPeriodMs);
    reservation.markUsed();
    waitOutThreePeriods(kShortPeriodMs);
    // A silent client no longer holds the device, even before expire() ends the reservation.
    EXPECT_TRUE(reservation.isFree());
    EXPECT_TRUE(reservation.expire());
    EXPECT_FALSE(reservation.expire()); // ended once: the recording it guards is stopped once
    EXPECT_TRUE(reservation.isFree());
}

TEST(Reservation, ARequestAfterExpiryReservesAgain)
{
    Reservation reservation(kShortPeriodMs);
    reservation.markUsed();
    waitOutThreePeriods(kShortPeriodMs);
    ASSERT_TRUE(reservation.expire());

    reservation.markUsed();
    EXPECT_FALSE(reservation.isFree());
}

TEST(Reservation, ReleasedDeviceDoesNotExpire)
{
    Reservation reservation(kShortPeriodMs);
    reservation.markUsed();
    reservation.release();
    waitOutThreePeriods(kShortPeriodMs);
    EXPECT_FALSE(reservation.expire()); // released, so there is no recording to stop for it
    EXPECT_TRUE(reservation.isFree());
}

}  // namespace
