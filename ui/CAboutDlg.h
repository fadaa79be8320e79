#pragma once

#include <QDialog>

// The version box. It does nothing but close.
class CAboutDlg : public QDialog {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 100;

    explicit CAboutDlg(QWidget* parent = nullptr);
};
