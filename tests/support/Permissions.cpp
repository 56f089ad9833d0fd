#include "Permissions.h"

#include <QFile>

#include <gtest/gtest.h>

#include <dirent.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

bool Capabilities(__user_cap_data_struct (&data)[2], bool set)
{
    __user_cap_header_struct header {_LINUX_CAPABILITY_VERSION_3, 0};
    return ::syscall(set ? SYS_capset : SYS_capget, &header, data) == 0;
}

constexpr unsigned Bit(int capability) { return 1u << capability; }

} // namespace

PermissionsApply::PermissionsApply()
{
    if (::geteuid() != 0)
        return;
    __user_cap_data_struct data[2] {};
    if (!Capabilities(data, false)) {
        ADD_FAILURE() << "cannot read the process capabilities";
        return;
    }
    savedEffective_[0] = data[0].effective;
    savedEffective_[1] = data[1].effective;
    data[0].effective &= ~(Bit(CAP_DAC_OVERRIDE) | Bit(CAP_DAC_READ_SEARCH) | Bit(CAP_FOWNER));
    dropped_ = Capabilities(data, true);
    EXPECT_TRUE(dropped_) << "cannot drop the capabilities that override permissions";
}

PermissionsApply::~PermissionsApply()
{
    if (!dropped_)
        return;
    __user_cap_data_struct data[2] {};
    Capabilities(data, false);
    data[0].effective = savedEffective_[0];
    data[1].effective = savedEffective_[1];
    EXPECT_TRUE(Capabilities(data, true));
}

void SetMode(const QString& path, unsigned mode)
{
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), mode), 0) << path.toStdString();
}

bool CanList(const QString& folder)
{
    DIR* stream = ::opendir(QFile::encodeName(folder).constData());
    if (stream == nullptr)
        return false;
    ::closedir(stream);
    return true;
}
