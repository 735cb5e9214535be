// The window icon compiled in as raw pictures: what a picture's name gives, and that the icon
// shows exactly what Qt's SVG icon engine draws from the SVG file at every size a window manager
// is handed.

#include "WindowIcon.h"

#include <QIcon>
#include <QImage>
#include <QList>
#include <QPixmap>
#include <QSize>

#include <gtest/gtest.h>

namespace {

using Corvane::WindowIcon;

TEST(WindowIcon, APictureNameGivesItsSize) {
    struct Case {
        const char* name;
        QSize size; // invalid: not a picture
    };
    const Case cases[] = {
        {"16x16.rgba", {16, 16}},
        {"128x64.rgba", {128, 64}},
        {"1x1024.rgba", {1, 1024}},
        {"16x16.png", {}},
        {"16.rgba", {}},
        {"x16.rgba", {}},
        {"16x.rgba", {}},
        {"0x16.rgba", {}},
        {"16x16x16.rgba", {}},
        {"2048x16.rgba", {}},
        {"-4x4.rgba", {}},
        {"axb.rgba", {}},
        {"16x16.rgba.bak", {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(WindowIcon::sizeOf(QString::fromLatin1(c.name)), c.size) << c.name;
    }
}

TEST(WindowIcon, ShowsWhatTheSvgIconEngineDraws) {
    const QIcon svg(QStringLiteral(TARN_ICON_SVG));
    ASSERT_FALSE(svg.isNull());
    const QIcon icon = WindowIcon::load();
    const QList<QSize> sizes{{16, 16}, {32, 32}, {64, 64}, {128, 128}};
    EXPECT_EQ(icon.availableSizes(), sizes);
    for (const QSize& size : sizes) {
        // As the window manager is handed them: ARGB, not premultiplied.
        const QImage drawn = svg.pixmap(size).toImage().convertToFormat(QImage::Format_ARGB32);
        const QImage shown = icon.pixmap(size).toImage().convertToFormat(QImage::Format_ARGB32);
        EXPECT_TRUE(shown == drawn) << size.width();
    }
}

} // namespace
