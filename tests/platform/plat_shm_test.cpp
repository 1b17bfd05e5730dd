// Tests the named shared memory: name escaping, exclusive creation, opening
// only once published, the lifetime kept by the openers' locks (the last
// closer removes the name, a stale object of dead processes is replaced), and
// removal while others keep their view. Several cases use forked processes.
#include "platform/plat_shm_internal.h"

#include "tests/support/forked_child.h"

#include <gtest/gtest.h>

#include <string.h>
#include <sys/mman.h>
#include <unistd.h>

#include <string>

namespace
{

std::string unique_name(const char *what)
{
    static int counter = 0;
    return "plat_shm_test_" + std::to_string(getpid()) + "_" + std::to_string(++counter) + "_" +
           what;
}

} // namespace

TEST(PlatShm, EscapedNamesFitTheSystemAndStayDistinct)
{
    struct Case {
        const char *name;
        const char *expected;
    } cases[] = {
        {"ZEL_8.1.1_inst_iomgr_lock_mutex", "/zel.ZEL_8.1.1_inst_iomgr_lock_mutex"},
        {"Global\\a b/c%", "/zel.Global%5Ca%20b%2Fc%25"},
        {"x-y_z", "/zel.x-y_z"},
        {"\xe9t\xe9", "/zel.%E9t%E9"},
    };
    for (const Case &c : cases) {
        char out[PLAT_SHM_NAME_SIZE];
        ASSERT_EQ(plat_shm_escape_name(c.name, out), 0) << c.name;
        EXPECT_STREQ(out, c.expected);
    }
    char out[PLAT_SHM_NAME_SIZE];
    EXPECT_EQ(plat_shm_escape_name("", out), -1);
    EXPECT_EQ(plat_shm_escape_name(nullptr, out), -1);

    // Long names are cut and hashed; names that differ only at the end differ.
    std::string a(300, 'a'), b(300, 'a');
    b.back() = 'b';
    char out_a[PLAT_SHM_NAME_SIZE], out_b[PLAT_SHM_NAME_SIZE];
    ASSERT_EQ(plat_shm_escape_name(a.c_str(), out_a), 0);
    ASSERT_EQ(plat_shm_escape_name(b.c_str(), out_b), 0);
    EXPECT_LT(strlen(out_a), 256u);
    EXPECT_STRNE(out_a, out_b);
    EXPECT_EQ(std::string(out_a).substr(0, 5), "/zel.");
    // An escape is never cut in two: 60 escaped characters reach the cut.
    std::string escapes(100, ' ');
    ASSERT_EQ(plat_shm_escape_name(escapes.c_str(), out_a), 0);
    std::string kept(out_a);
    size_t tilde = kept.find('~');
    ASSERT_NE(tilde, std::string::npos);
    EXPECT_EQ((tilde - 5) % 3, 0u) << kept;
}

TEST(PlatShm, CreateIsExclusiveAndOpenSeesOnlyPublishedObjects)
{
    std::string name = unique_name("excl");
    PLAT_SHM created;
    ASSERT_EQ(plat_shm_create(name.c_str(), 1000, &created), PLAT_SHM_OK);
    EXPECT_EQ(created.size, 1000u);
    const unsigned char *bytes = static_cast<const unsigned char *>(created.base);
    for (size_t i = 0; i < created.size; ++i)
        ASSERT_EQ(bytes[i], 0) << i;

    PLAT_SHM other;
    EXPECT_EQ(plat_shm_open(name.c_str(), &other), PLAT_SHM_NOT_FOUND);
    EXPECT_EQ(plat_shm_create(name.c_str(), 1000, &other), PLAT_SHM_EXISTS);

    memcpy(created.base, "hello", 6);
    plat_shm_publish(&created);
    ASSERT_EQ(plat_shm_open(name.c_str(), &other), PLAT_SHM_OK);
    EXPECT_EQ(other.size, 1000u);
    EXPECT_STREQ(static_cast<const char *>(other.base), "hello");
    PLAT_SHM third;
    EXPECT_EQ(plat_shm_create(name.c_str(), 10, &third), PLAT_SHM_EXISTS);

    plat_shm_close(&other);
    plat_shm_close(&created);
    plat_shm_close(&created); // a closed handle is ignored
    EXPECT_EQ(plat_shm_open(name.c_str(), &other), PLAT_SHM_NOT_FOUND);
}

TEST(PlatShm, AnUnpublishedObjectIsRemovedByItsCreatorsClose)
{
    std::string name = unique_name("unpub");
    PLAT_SHM created;
    ASSERT_EQ(plat_shm_create(name.c_str(), 64, &created), PLAT_SHM_OK);
    plat_shm_close(&created);
    ASSERT_EQ(plat_shm_create(name.c_str(), 64, &created), PLAT_SHM_OK);
    plat_shm_close(&created);
}

TEST(PlatShm, TheLastOpenerRemovesTheNameWhateverTheOrder)
{
    std::string name = unique_name("last");
    PLAT_SHM creator;
    ASSERT_EQ(plat_shm_create(name.c_str(), 16, &creator), PLAT_SHM_OK);
    plat_shm_publish(&creator);

    // Another process opens it and stays while the creator leaves.
    forked::Child child = forked::start([&](const forked::Link &link) {
        PLAT_SHM shm;
        if (plat_shm_open(name.c_str(), &shm) != PLAT_SHM_OK)
            return 1;
        link.send('o');
        if (link.receive() != 'c')
            return 2;
        static_cast<char *>(shm.base)[0] = 'x';
        plat_shm_close(&shm);
        return 0;
    });
    ASSERT_GT(child.pid, 0);
    ASSERT_EQ(child.link.receive(), 'o');
    plat_shm_close(&creator);

    PLAT_SHM again;
    ASSERT_EQ(plat_shm_open(name.c_str(), &again), PLAT_SHM_OK) << "the child keeps it alive";
    plat_shm_close(&again);
    child.link.send('c');
    EXPECT_EQ(forked::finish(child), 0);
    EXPECT_EQ(plat_shm_open(name.c_str(), &again), PLAT_SHM_NOT_FOUND);
}

TEST(PlatShm, AStaleObjectOfAKilledCreatorIsReplaced)
{
    std::string name = unique_name("stale");
    forked::Child child = forked::start([&](const forked::Link &link) {
        PLAT_SHM shm;
        if (plat_shm_create(name.c_str(), 32, &shm) != PLAT_SHM_OK)
            return 1;
        memset(shm.base, 0x5a, 32);
        plat_shm_publish(&shm);
        link.send('p');
        link.receive(); // until killed
        return 0;
    });
    ASSERT_GT(child.pid, 0);
    ASSERT_EQ(child.link.receive(), 'p');

    PLAT_SHM shm;
    EXPECT_EQ(plat_shm_create(name.c_str(), 32, &shm), PLAT_SHM_EXISTS) << "its creator lives";
    EXPECT_EQ(forked::kill_child(child), 128 + SIGKILL);

    // Nobody holds it any more: it no longer opens, and a creator replaces it
    // with a fresh, zeroed object.
    EXPECT_EQ(plat_shm_open(name.c_str(), &shm), PLAT_SHM_NOT_FOUND);
    ASSERT_EQ(plat_shm_create(name.c_str(), 48, &shm), PLAT_SHM_OK);
    EXPECT_EQ(shm.size, 48u);
    EXPECT_EQ(static_cast<const unsigned char *>(shm.base)[0], 0);
    plat_shm_publish(&shm);
    plat_shm_close(&shm);
}

TEST(PlatShm, RemoveHidesTheNameButKeepsOtherViews)
{
    std::string name = unique_name("remove");
    PLAT_SHM creator, opener;
    ASSERT_EQ(plat_shm_create(name.c_str(), 8, &creator), PLAT_SHM_OK);
    plat_shm_publish(&creator);
    ASSERT_EQ(plat_shm_open(name.c_str(), &opener), PLAT_SHM_OK);
    plat_shm_remove(&creator);

    PLAT_SHM later;
    EXPECT_EQ(plat_shm_open(name.c_str(), &later), PLAT_SHM_NOT_FOUND);
    static_cast<char *>(opener.base)[7] = 'k'; // still mapped
    EXPECT_EQ(static_cast<char *>(opener.base)[7], 'k');

    // A new object of that name is independent of the removed one.
    ASSERT_EQ(plat_shm_create(name.c_str(), 8, &later), PLAT_SHM_OK);
    EXPECT_EQ(static_cast<char *>(later.base)[7], 0);
    plat_shm_publish(&later);
    plat_shm_close(&opener); // must not remove the new object
    PLAT_SHM check;
    ASSERT_EQ(plat_shm_open(name.c_str(), &check), PLAT_SHM_OK);
    plat_shm_close(&check);
    plat_shm_close(&later);
}

TEST(PlatShm, CreateOrOpenJoinsALiveObject)
{
    std::string name = unique_name("join");
    PLAT_SHM first, second;
    int created = -1;
    ASSERT_EQ(plat_shm_create_or_open(name.c_str(), 16, &first, &created), PLAT_SHM_OK);
    EXPECT_EQ(created, 1);
    static_cast<char *>(first.base)[0] = 'f';
    plat_shm_publish(&first);
    ASSERT_EQ(plat_shm_create_or_open(name.c_str(), 16, &second, &created), PLAT_SHM_OK);
    EXPECT_EQ(created, 0);
    EXPECT_EQ(static_cast<char *>(second.base)[0], 'f');
    // A live object smaller than asked for is refused.
    PLAT_SHM third;
    EXPECT_EQ(plat_shm_create_or_open(name.c_str(), 17, &third, &created), PLAT_SHM_FAILED);
    plat_shm_close(&second);
    plat_shm_close(&first);
}
