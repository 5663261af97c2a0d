// Bitmaps a script makes and shows: a BitmapData filled and shown by a Bitmap, a Bitmap
// given pixels after it was added (a sprite drawn off the stage), one of the movie's own
// bitmaps bound to a class and scaled up, and the sizes a BitmapData takes at their limits
// (tests/engine/test_as3_display.cpp holds what Flash prints).
// Compiled with `haxe -cp tools/as3 -swf tests/engine/movies/as3_bitmap.swf -main ScriptBitmap
// -swf-version 10 -swf-header 400:300:30:FFFFFF` (tools/as3/build.sh).
import flash.Lib;
import flash.display.Bitmap;
import flash.display.BitmapData;
import flash.display.Sprite;
import flash.geom.Point;
import flash.geom.Rectangle;

// 8 x 4: the left half opaque red, the right half half-clear blue.
@:bitmap("tools/as3/pic.png") class Pic extends BitmapData {}

class ScriptBitmap {
    static function size(w:Int, h:Int) {
        try {
            var b = new BitmapData(w, h, false);
            Lib.trace(w + "x" + h + " made");
            b.dispose();
        } catch (e:Dynamic) {
            Lib.trace(w + "x" + h + " " + e.errorID);
        }
    }

    static function main() {
        var root = Lib.current;
        var bd = new BitmapData(100, 50, false, 0xFF0000);
        bd.fillRect(new Rectangle(50, 0, 50, 50), 0x0000FF);
        bd.setPixel(0, 0, 0x00FF00);
        Lib.trace(bd.width + " " + bd.height + " " + bd.transparent + " " + bd.getPixel(0, 0) + " "
            + bd.getPixel32(60, 10) + " " + bd.rect);
        var shown = new Bitmap(bd);
        shown.x = 10;
        shown.y = 10;
        root.addChild(shown);
        var later = new Bitmap();
        later.x = 10;
        later.y = 100;
        root.addChild(later);
        var s = new Sprite();
        s.graphics.beginFill(0x00FF00);
        s.graphics.drawCircle(25, 25, 25);
        var snap = new BitmapData(50, 50, true, 0);
        snap.draw(s);
        later.bitmapData = snap;
        Lib.trace(snap.getPixel32(25, 25) + " " + snap.getPixel32(0, 0));
        var pic = new Pic(0, 0);
        Lib.trace(pic.width + " " + pic.height + " " + pic.getPixel32(0, 0));
        var big = new Bitmap(pic);
        big.x = 150;
        big.y = 10;
        big.scaleX = big.scaleY = 10;
        root.addChild(big);
        var copy = bd.clone();
        Lib.trace(copy.threshold(bd, bd.rect, new Point(0, 0), "==", 0xFF0000FF, 0xFFFFFF00) + " "
            + copy.getColorBoundsRect(0xFFFFFFFF, 0xFFFFFF00));
        copy.dispose();
        try {
            Lib.trace(copy.width);
        } catch (e:Dynamic) {
            Lib.trace(e.errorID);
        }
        // The movie's bitmap as a repeated fill, scaled up.
        var tiles = new Sprite();
        var m = new flash.geom.Matrix();
        m.scale(5, 5);
        tiles.graphics.beginBitmapFill(pic, m);
        tiles.graphics.drawRect(0, 0, 80, 40);
        tiles.graphics.endFill();
        tiles.x = 150;
        tiles.y = 100;
        root.addChild(tiles);
        // A glow around a square added before its filter was set; one set before it was
        // added; a square multiplied over the red of the first bitmap.
        var glowing = new Sprite();
        glowing.graphics.beginFill(0x000000);
        glowing.graphics.drawRect(0, 0, 20, 20);
        glowing.x = 300;
        glowing.y = 100;
        root.addChild(glowing);
        glowing.filters = [new flash.filters.GlowFilter(0x0000FF, 1, 10, 10, 4, 3)];
        var shadowed = new Sprite();
        shadowed.graphics.beginFill(0x000000);
        shadowed.graphics.drawRect(0, 0, 20, 20);
        shadowed.x = 300;
        shadowed.y = 200;
        shadowed.filters = [new flash.filters.BlurFilter(0, 0), new flash.filters.DropShadowFilter(10, 0, 0xFF0000, 1, 0, 0)];
        root.addChild(shadowed);
        var dark = new Sprite();
        dark.graphics.beginFill(0x00FFFF);
        dark.graphics.drawRect(0, 0, 20, 20);
        dark.x = 20;
        dark.y = 20;
        dark.blendMode = flash.display.BlendMode.MULTIPLY;
        root.addChild(dark);
        var loose:Dynamic = dark;
        try {
            loose.blendMode = "sideways";
        } catch (e:Dynamic) {
            Lib.trace(dark.blendMode + " " + e.errorID);
        }
        size(0, 10);
        size(8191, 1);
        size(8192, 1);
        size(4095, 4097);
        size(4096, 4096);
    }
}
