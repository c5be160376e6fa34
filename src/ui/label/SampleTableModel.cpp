#include "ui/label/SampleTableModel.h"

namespace {

QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

void SampleTableModel::setTokens(const std::vector<std::string>& tokens) {
    if (tokens == tokens_) {
        return;
    }
    beginResetModel();
    tokens_ = tokens;
    endResetModel();
}

void SampleTableModel::setSamples(label::SampleValues samples) {
    beginResetModel();
    samples_ = std::move(samples);
    endResetModel();
}

int SampleTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(tokens_.size());
}

int SampleTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 2;
}

QVariant SampleTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() ||
        (role != Qt::DisplayRole && role != Qt::EditRole)) {
        return {};
    }
    const std::string& token = tokens_[static_cast<std::size_t>(index.row())];
    if (index.column() == 0) {
        return fromUtf8(token);
    }
    const auto sample = samples_.find(token);
    return sample == samples_.end() ? QString() : fromUtf8(sample->second);
}

QVariant SampleTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return {};
    }
    return section == 0 ? tr("Token") : tr("Sample value");
}

Qt::ItemFlags SampleTableModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (index.column() == 1) {
        flags |= Qt::ItemIsEditable;
    }
    return flags;
}

bool SampleTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || index.column() != 1 || index.row() >= rowCount() ||
        role != Qt::EditRole) {
        return false;
    }
    const std::string& token = tokens_[static_cast<std::size_t>(index.row())];
    const QByteArray text = value.toString().toUtf8();
    const std::string sample(text.constData(), static_cast<std::size_t>(text.size()));
    const auto known = samples_.find(token);
    if ((known == samples_.end() && sample.empty()) ||
        (known != samples_.end() && known->second == sample)) {
        return true;
    }
    if (sample.empty()) {
        samples_.erase(token);
    } else {
        samples_[token] = sample;
    }
    Q_EMIT dataChanged(index, index);
    Q_EMIT samplesEdited();
    return true;
}
