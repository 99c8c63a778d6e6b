// Headers that nearly every file of ours includes, compiled once per library and once per
// folder of tests instead of once per file: parsing Qt's headers is most of what compiling a
// file of ours costs. What a target cannot include (a library without widgets) is left out.
#pragma once

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QUrl>
#include <QtEndian>

#if __has_include(<QImage>)
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#endif

#if __has_include(<QWidget>)
#include <QApplication>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QWidget>
#endif

#if __has_include(<QTest>)
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#endif
