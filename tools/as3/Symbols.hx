// A library symbol made with `new` (class Ball, bound by tools/as3/symbol_library.py): its
// first frame's children and their named slots are there once its constructor has called
// super(), before it is on any list; a child can be sent to another frame and the whole
// measured while off every list, and it keeps its shape when taken off again.
import flash.Lib;
import flash.display.MovieClip;

@:bind class Ball extends MovieClip {
    public var inner:MovieClip;

    public function new() {
        super();
        Lib.trace("built " + (inner != null) + " " + numChildren);
    }
}

@:bind class Knob extends flash.display.SimpleButton {}

class Symbols {
    static function main() {
        var b = new Ball();
        Lib.trace(b.inner.currentFrame + " " + b.width + " " + b.height + " " + (b.stage == null));
        b.inner.gotoAndStop(2);
        Lib.trace(b.inner.currentFrame + " " + b.inner.name + " " + (b.inner.parent == b));
        var left = new Ball();
        left.x = 200;
        Lib.current.addChild(left);
        Lib.current.removeChild(left);
        Lib.trace(left.width + " " + left.getBounds(left) + " " + (left.inner.stage == null));
        b.y = 100;
        Lib.current.addChild(b);
        Lib.trace(b.inner.currentFrame + " " + (b.inner.stage != null));
        // A library button made with `new` has its states from its records: one object
        // each, or a Sprite holding several; the up state draws once it is added.
        var k = new Knob();
        Lib.trace(k.upState + " " + k.overState + " " + k.downState + " " + k.hitTestState + " "
            + (k.downState == k.hitTestState) + " " + k.width);
        k.x = 200;
        k.y = 100;
        Lib.current.addChild(k);
        // Many made and dropped each frame: those nothing reaches leave, so one added on the
        // sixtieth frame still finds room on the stage.
        var frames = 0;
        Lib.current.addEventListener("enterFrame", function(_) {
            if (++frames == 60) {
                var last = new Ball();
                last.x = 300;
                last.y = 200;
                Lib.current.addChild(last);
            } else if (frames < 60) {
                for (i in 0...200)
                    new Ball();
            }
        });
    }
}
