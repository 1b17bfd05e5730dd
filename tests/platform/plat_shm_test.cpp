// Tests the named shared memory: name escaping, exclusive creation, opening
// only once published, the lifetime kept by the openers' locks (the last
// closer removes the name, a stale object of dead processes is replaced), and
// removal while others keep their view. Several cases use forked processes.
#include "platform/plat_shm_internal.h"

#include "tests/support/forked_child.h"
#include "tests/support/quiet_stderr.h"

#include <gtest/gtest.h>

#include <pwd.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <iostream>
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

// The file behind an object of the system's shared-memory folder.
static std::string object_file(const PLAT_SHM &shm)
{
    return std::string("/dev/shm") + shm.name;
}

TEST(PlatShm, ObjectsAndTheCreateLockAreTheOwnersAlone)
{
    std::string name = unique_name("mode");
    const mode_t before = umask(0);
    PLAT_SHM shm;
    ASSERT_EQ(plat_shm_create(name.c_str(), 8, &shm), PLAT_SHM_OK);
    umask(before);
    struct stat st;
    ASSERT_EQ(stat(object_file(shm).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(st.st_uid, geteuid());
    // The lock of creators belongs to this account only.
    const std::string lock = "/dev/shm/zel.%create-" + std::to_string(geteuid());
    ASSERT_EQ(stat(lock.c_str(), &st), 0) << lock;
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(st.st_uid, geteuid());
    plat_shm_close(&shm);
}

TEST(PlatShm, AnObjectOfAnotherAccountOrWritableByOthersIsRefused)
{
    struct passwd *nobody = getpwnam("nobody");
    const bool can_chown = geteuid() == 0 && nobody != nullptr;
    struct Case {
        const char *what;
        mode_t mode;
        bool other_owner;
        const char *says;
    } cases[] = {
        {"writable by all", 0666, false, "other accounts may write it (mode 0666)"},
        {"writable by the group", 0620, false, "other accounts may write it (mode 0620)"},
        {"of another account", 0600, true, "belongs to another account"},
    };
    for (const Case &c : cases) {
        if (c.other_owner && !can_chown) {
            // Only root can hand an object to another account here.
            std::cout << "[ NOTE     ] not root: case \"" << c.what << "\" not run\n";
            continue;
        }
        // A live, well-formed object under the name, as a planter would leave it.
        std::string name = unique_name("planted");
        PLAT_SHM planted;
        ASSERT_EQ(plat_shm_create(name.c_str(), 16, &planted), PLAT_SHM_OK) << c.what;
        plat_shm_publish(&planted);
        ASSERT_EQ(fchmod(planted.fd, c.mode), 0) << c.what;
        if (c.other_owner) {
            ASSERT_EQ(fchown(planted.fd, nobody->pw_uid, nobody->pw_gid), 0) << c.what;
        }

        StderrCapture capture;
        PLAT_SHM shm;
        EXPECT_EQ(plat_shm_open(name.c_str(), &shm), PLAT_SHM_FOREIGN) << c.what;
        std::string said = capture.text();
        EXPECT_NE(said.find(planted.name), std::string::npos) << said;
        EXPECT_NE(said.find(c.says), std::string::npos) << said;
        EXPECT_EQ(shm.map, nullptr) << c.what;
        EXPECT_EQ(plat_shm_create(name.c_str(), 16, &shm), PLAT_SHM_FOREIGN) << c.what;
        int created = -1;
        EXPECT_EQ(plat_shm_create_or_open(name.c_str(), 16, &shm, &created), PLAT_SHM_FOREIGN)
            << c.what;
        EXPECT_EQ(created, 0) << c.what;
        said = capture.text();
        EXPECT_NE(said.find(c.says), std::string::npos) << said;

        // Once it is the account's own again, it opens.
        ASSERT_EQ(fchown(planted.fd, geteuid(), getegid()), 0);
        ASSERT_EQ(fchmod(planted.fd, 0600), 0);
        ASSERT_EQ(plat_shm_open(name.c_str(), &shm), PLAT_SHM_OK) << c.what;
        plat_shm_close(&shm);
        plat_shm_close(&planted);
    }
}
