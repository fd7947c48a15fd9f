// A machine where the product was never installed: every step of every
// version finds nothing to remove, and nothing changes.
#include <gtest/gtest.h>

#include "cleanup_fixture.h"
#include "ground/product_names.h"
#include "registration/remove_earlier.h"

TEST(CleanMachine, EveryVersionFindsNothingAndNothingChanges)
{
    ASSERT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kTestProductKey));
    const std::string before = Snapshot();
    ASSERT_NE(before.find("Start Menu"), std::string::npos) << before;

    for (const char* version : kProductVersions)
        EXPECT_EQ(RemoveVersion(nullptr, kTestProductKey, version), S_OK) << version;
    EXPECT_EQ(RemoveEarlierVersions(nullptr, kTestProductKey), S_OK);

    EXPECT_EQ(Snapshot(), before);
}
