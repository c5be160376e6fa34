#include "ui/label/FindingListModel.h"

#include <QApplication>
#include <QBrush>
#include <QStyle>

void FindingListModel::setLabel(std::shared_ptr<const label::Label> label) {
    beginResetModel();
    label_ = std::move(label);
    endResetModel();
}

int FindingListModel::lineAt(int row) const {
    if (!label_ || row < 0 || row >= static_cast<int>(label_->findings.size())) {
        return 0;
    }
    return label_->findings[static_cast<std::size_t>(row)].line;
}

int FindingListModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || !label_) {
        return 0;
    }
    return static_cast<int>(label_->findings.size());
}

QVariant FindingListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const label::Finding& finding = label_->findings[static_cast<std::size_t>(index.row())];
    const bool error = finding.severity == label::Severity::Error;
    switch (role) {
        case Qt::DisplayRole:
            return (error ? tr("line %1: error: %2") : tr("line %1: warning: %2"))
                .arg(finding.line)
                .arg(QString::fromUtf8(finding.text.data(),
                                       static_cast<qsizetype>(finding.text.size())));
        case Qt::DecorationRole:
            return QApplication::style()->standardIcon(error ? QStyle::SP_MessageBoxCritical
                                                             : QStyle::SP_MessageBoxWarning);
        case LineRole:
            return finding.line;
        default:
            return {};
    }
}
