#include "player_records.h"

#include <QAction>
#include <QCursor>
#include <QMenu>

#include "key_value_store.h"
#include "main_widget_calls.h"
#include "named_objects.h"
#include "play_history.h"
#include "ui_player_records.h"

namespace {

const char kRecordsKey[] = "records_list";

}  // namespace

RecordItem::RecordItem(const QIcon& icon, const QString& text, QListWidget* list)
    : QListWidgetItem(icon, text, list, QListWidgetItem::Type) {}

PlayerRecords::PlayerRecords(QWidget* parent)
    : QDragWidget(parent), ui_(new Ui::PlayerRecords), menu_(new QMenu(this)) {
    ui_->setupUi(this);
    RegisterNamedObject("PlayerRecords", this);
    Reload();
    connect(ui_->listWidget, SIGNAL(itemDoubleClicked(QListWidgetItem*)), this,
            SLOT(itemDoubleClicked(QListWidgetItem*)));
    connect(ui_->buttonClean, SIGNAL(clicked()), this, SLOT(ButtonClicked()));
    QAction* remove = menu_->addAction(QStringLiteral("删除"));
    connect(remove, SIGNAL(triggered(bool)), this, SLOT(DeleteTriggered(bool)));
    ui_->listWidget->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ui_->listWidget, SIGNAL(customContextMenuRequested(QPoint)), this,
            SLOT(CustomContextMenuRequested(QPoint)));
}

PlayerRecords::~PlayerRecords() = default;

void PlayerRecords::StartRecord(int type, QString url, QString watchtime, int pos, QString title) {
    recording_ = true;
    lastRemovedUrl_.clear();
    InsertRecord(type, url, watchtime, pos, title);
}

void PlayerRecords::StopRecord() {
    recording_ = false;
    Reload();
}

void PlayerRecords::InsertRecord(int type, QString url, QString watchtime, int pos, QString title) {
    if (url == lastRemovedUrl_) return;
    const QVariantMap record{
        {"url", url}, {"type", type}, {"watchtime", watchtime}, {"pos", pos}, {"title", title}};
    // Read and written in one transaction: another player writing at once is not overwritten.
    DbUpdateValue(kRecordsKey, [&](const QVariant& stored) {
        QVariantMap history = stored.toMap();
        InsertIntoHistory(history, record);
        return QVariant(history);
    });
    Reload();
}

void PlayerRecords::Reload() {
    ui_->listWidget->clear();
    const QList<QVariantMap> records = OrderedHistory(DbValue(kRecordsKey).toMap());
    for (int i = 0; i < records.size(); ++i) {
        const QIcon icon =
            (i == 0 && recording_) ? QIcon(QStringLiteral(":/image/play_2.png")) : QIcon();
        auto* item = new RecordItem(icon, HistoryDisplayName(records[i]), ui_->listWidget);
        item->SetRecord(records[i]);
    }
}

void PlayerRecords::RemoveRecord(const QString& url) {
    lastRemovedUrl_ = url;
    DbUpdateValue(kRecordsKey, [&](const QVariant& stored) {
        QVariantMap history = stored.toMap();
        history.remove(url);
        return QVariant(history);
    });
    Reload();
}

void PlayerRecords::itemDoubleClicked(QListWidgetItem* item) {
    auto* record = dynamic_cast<RecordItem*>(item);
    QObject* main = MainWidgetObject();
    if (!record || !main) return;
    QMetaObject::invokeMethod(main, "PlayVideo", Qt::QueuedConnection,
                              Q_ARG(QVariantMap, record->Record().toMap()));
}

void PlayerRecords::ButtonClicked() {
    if (sender() != ui_->buttonClean) return;
    ui_->listWidget->clear();
    DbSetValue(kRecordsKey, QVariantMap());
}

void PlayerRecords::DeleteTriggered(bool) {
    QListWidgetItem* item = ui_->listWidget->currentItem();
    if (!item) return;
    std::unique_ptr<QListWidgetItem> taken(ui_->listWidget->takeItem(ui_->listWidget->row(item)));
    const auto* record = dynamic_cast<RecordItem*>(taken.get());
    if (record) RemoveRecord(record->Record().toMap().value("url").toString());
}

void PlayerRecords::CustomContextMenuRequested(const QPoint& pos) {
    if (ui_->listWidget->itemAt(pos)) menu_->exec(QCursor::pos());
}
