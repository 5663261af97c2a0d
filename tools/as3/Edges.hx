// Corners of the language that compiled movies reach, each traced on a line of its own;
// tests/engine/movies/as3_edges.output.txt holds what Flash Player prints. Haxe's own
// flash.Lib.trace is a static method named like the global function it calls, so the movie
// also shows that a static method's scope does not hold its class.
import flash.Lib;

class Edges {
    static function main() {
        // An array written under a string key keeps its elements; a numeric string is an index.
        var a:Array<Dynamic> = [1, 2];
        var d:Dynamic = a;
        var k:Dynamic = "k";
        d[k] = 5;
        Lib.trace(a[0] + " " + a.length + " " + d.k);
        var one:Dynamic = "1";
        d[one] = 9;
        Lib.trace(a[1] + " " + a.length);
        // A function's prototype, once made, is not enumerated.
        var f:Dynamic = function() {};
        var p = f.prototype;
        var names = [];
        for (n in Reflect.fields(f))
            names.push(n);
        Lib.trace("[" + names.join(",") + "]");
        // Rectangles that only touch do not intersect.
        var r = new flash.geom.Rectangle(0, 0, 10, 10);
        var touching = new flash.geom.Rectangle(10, 0, 5, 5);
        Lib.trace(r.intersects(touching) + " " + r.intersection(touching));
        var overlapping = new flash.geom.Rectangle(9, 9, 5, 5);
        Lib.trace(r.intersects(overlapping) + " " + r.intersection(overlapping));
        // A container numbers its children in order.
        var box = new flash.display.Sprite(), first = new flash.display.Sprite(),
            second = new flash.display.Sprite();
        box.addChild(first);
        box.addChild(second);
        Lib.trace(box.getChildIndex(second) + " " + box.getChildIndex(first));
        // One that is not among them has no index.
        try {
            box.getChildIndex(new flash.display.Sprite());
        } catch (e:flash.errors.ArgumentError) {
            Lib.trace(e.errorID);
        }
        // A range in a class matches either case under the i flag, at its ends too.
        Lib.trace(new EReg("^[a-c]+$", "i").match("AbC") + " " + new EReg("^[b-c]$", "i").match("A"));
        // A colour transform set on an object reads back field by field.
        box.transform.colorTransform = new flash.geom.ColorTransform(0.5, 0.25, 2, 0.75, 1, 2, 3, 4);
        Lib.trace(box.transform.colorTransform);
        // A class called as a function takes exactly one argument.
        try {
            var c:Dynamic = Edges;
            c(1, 2);
        } catch (e:Dynamic) {
            Lib.trace(e);
            Lib.trace(e.errorID);
        }
        // The classes that name Flash's constants, as movies made by Flash read them at start.
        Lib.trace(flash.display.StageScaleMode.NO_SCALE + " " + flash.display.StageAlign.TOP_LEFT
            + " " + flash.display.BlendMode.HARDLIGHT + " " + flash.text.TextFormatAlign.JUSTIFY
            + " " + flash.filters.BitmapFilterQuality.HIGH + " " + flash.display.StageQuality.HIGH_8X8);
        Lib.trace(flash.ui.Keyboard.SPACE + " " + flash.ui.Keyboard.ENTER + " " + flash.ui.Keyboard.ESCAPE
            + " " + flash.ui.Keyboard.LEFT + " " + flash.ui.Keyboard.NUMPAD_0 + " " + flash.ui.Keyboard.F15
            + " " + flash.ui.Keyboard.DELETE);
        flash.ui.Mouse.hide();
        var menu = new flash.ui.ContextMenu();
        menu.hideBuiltInItems();
        Lib.trace(menu.customItems.length + " " + menu.builtInItems.print + " "
            + new flash.ui.ContextMenuItem("About").caption);
        // Classes a movie makes at start without needing them here.
        Lib.trace(new flash.text.TextLineMetrics(1, 2, 3, 4, 5, 6).leading + " "
            + flash.text.Font.enumerateFonts().length + " " + flash.media.Camera.getCamera() + " "
            + (new flash.net.URLVariables() != null) + " " + (new flash.system.LoaderContext() != null));
    }
}
