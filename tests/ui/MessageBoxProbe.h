// Answers the real modal message boxes a GUI test raises. Arm it before the
// action; every QMessageBox that becomes the active modal window while the
// probe lives is recorded (text, caption, icon, button texts) and answered
// by clicking the chosen standard button.
//
//   MessageBoxProbe probe(QMessageBox::Cancel);
//   QTest::mouseClick(openButton, Qt::LeftButton);   // raises a box
//   ASSERT_EQ(probe.Count(), 1);
//   EXPECT_EQ(probe.Last().text, "是否关闭串口？");
//   EXPECT_EQ(probe.Last().buttons, QStringList({"确定", "取消"}));
#pragma once

#include <QMessageBox>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <vector>

struct SeenMessageBox {
    QString text;
    QString caption;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons;  // in the order the box lays them out
    QString pressed;      // text of the button the probe clicked
    int width = 0;        // of the box as shown, in pixels
};

class MessageBoxProbe {
public:
    explicit MessageBoxProbe(QMessageBox::StandardButton answer = QMessageBox::Ok);
    ~MessageBoxProbe();
    MessageBoxProbe(const MessageBoxProbe&) = delete;
    MessageBoxProbe& operator=(const MessageBoxProbe&) = delete;

    // The button for the boxes still to come.
    void SetAnswer(QMessageBox::StandardButton answer) { m_answer = answer; }

    int Count() const { return static_cast<int>(m_seen.size()); }
    const std::vector<SeenMessageBox>& Boxes() const { return m_seen; }
    const SeenMessageBox& Last() const { return m_seen.back(); }

private:
    void Poll();

    QMessageBox::StandardButton m_answer;
    QTimer m_timer;
    std::vector<SeenMessageBox> m_seen;
    QPointer<QMessageBox> m_answered;  // clicked, maybe not closed yet
};
