// 500 sprites moved in an enter-frame handler with Math calls: the ActionScript 3
// benchmark movie (scripts/bench-as3.sh).
import flash.display.Sprite;
import flash.events.Event;
class SpriteBench extends Sprite {
    var balls:Array<Sprite> = [];
    var t:Float = 0;
    public function new() {
        super();
        for (i in 0...500) {
            var s = new Sprite();
            s.graphics.beginFill(0xFF0000 + i * 97);
            s.graphics.drawCircle(0, 0, 5 + i % 7);
            s.graphics.endFill();
            addChild(s);
            balls.push(s);
        }
        addEventListener(Event.ENTER_FRAME, onFrame);

    }
    function onFrame(e:Event) {
        t += 0.05;
        for (i in 0...balls.length) {
            var b = balls[i];
            b.x = 275 + Math.cos(t + i * 0.1) * (100 + i % 150);
            b.y = 200 + Math.sin(t * 1.3 + i * 0.07) * (80 + i % 120);
            b.rotation = (t * 50 + i) % 360;
        }
    }
    static function main() {
        flash.Lib.current.addChild(new SpriteBench());
    }
}
