#include "core/Failure.h"

#include <filesystem>
#include <new>
#include <system_error>

Failure::Failure(QString description)
    : description_(std::move(description)), utf8_(description_.toUtf8())
{
}

QString DescribeCurrentException()
{
    try {
        throw;
    } catch (const Failure& failure) {
        return failure.description();
    } catch (const std::filesystem::filesystem_error& error) {
        QString text = QString::fromStdString(error.code().message());
        if (!error.path1().empty())
            text += QStringLiteral(": ") + QString::fromStdString(error.path1().string());
        return text;
    } catch (const std::system_error& error) {
        return QString::fromStdString(error.code().message());
    } catch (const std::bad_alloc&) {
        return QStringLiteral("Out of memory");
    } catch (const std::exception& error) {
        return QString::fromUtf8(error.what());
    } catch (...) {
        return QStringLiteral("Unknown error");
    }
}
