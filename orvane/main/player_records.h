// The history panel beside the picture: what was played, newest first, kept in the
// key-value store under "records_list". The player view writes it through queued calls by
// name on the object registered as "PlayerRecords"; a double click plays an entry again
// through the main widget. All on the user-interface thread.
#pragma once

#include <QListWidgetItem>
#include <QString>
#include <QVariant>
#include <memory>

#include "drag_widget.h"

class QMenu;
namespace Ui {
class PlayerRecords;
}

// One entry of the list; it carries the whole record.
class RecordItem : public QListWidgetItem {
public:
    RecordItem(const QIcon& icon, const QString& text, QListWidget* list);

    void SetRecord(const QVariant& record) { record_ = record; }
    const QVariant& Record() const { return record_; }

private:
    QVariant record_;
};

class PlayerRecords : public QDragWidget {
    Q_OBJECT

public:
    explicit PlayerRecords(QWidget* parent = nullptr);
    ~PlayerRecords() override;

    // A play begins: recording on, the entry shows the playing icon.
    Q_INVOKABLE void StartRecord(int type, QString url, QString watchtime, int pos, QString title);
    // Playback stopped: recording off.
    Q_INVOKABLE void StopRecord();
    // Writes one record, replacing the URL's older one. A URL the user removed during this
    // play is not written again until the next StartRecord.
    Q_INVOKABLE void InsertRecord(int type, QString url, QString watchtime, int pos, QString title);

private slots:
    void itemDoubleClicked(QListWidgetItem* item);
    void ButtonClicked();
    void DeleteTriggered(bool checked);
    void CustomContextMenuRequested(const QPoint& pos);

private:
    void Reload();
    void RemoveRecord(const QString& url);

    std::unique_ptr<Ui::PlayerRecords> ui_;
    QMenu* menu_;  // owned by this panel
    QString lastRemovedUrl_;
    bool recording_ = false;
};
