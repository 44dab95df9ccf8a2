#pragma once

#include <QByteArray>
#include <QVector>

#include <cstdint>
#include <memory>

// The pictures a slideshow's first "file" stands for, found on a worker
// thread: every regular picture file with a UTF-8 name in the folder it
// names, or else the file itself, each with the size its header claims (0 by
// 0 when the header is refused). Listing a folder and reading headers never
// run on the video thread that applies the result.
class KPFolderScan
{
public:
    struct Picture
    {
        QByteArray path;
        uint32_t width = 0;
        uint32_t height = 0;
    };

    explicit KPFolderScan(const QByteArray &file);
    // Waits until the worker has let go of the scan.
    ~KPFolderScan();

    QByteArray file() const { return m_file; }
    bool finished() const;
    // Valid once finished.
    bool isFolder() const;
    QVector<Picture> pictures() const;

    // The slides a folder holds, sorted by name: its regular picture files
    // with UTF-8 names (the rest are left out with a log line). The first
    // fill and the slide keys both walk this list, so they always agree.
    static QVector<QByteArray> slidesIn(const QByteArray &folder);

private:
    struct Result;
    static void run(const std::shared_ptr<Result> &result);

    QByteArray m_file;
    std::shared_ptr<Result> m_result;

    KPFolderScan(const KPFolderScan &) = delete;
    KPFolderScan &operator=(const KPFolderScan &) = delete;
};
