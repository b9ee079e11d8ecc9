# Draws the sample line with Godot 3's own BMFont loader (BitmapFont.create_from_fnt), for each set
# a job file names: lines of "descriptor<TAB>picture<TAB>page<TAB>page...". Prints "ok" or why not
# for each. Outside an editor's import the loader finds no textures for the pages: they are added
# in the descriptor's order, as the import would give them, unfiltered.
extends SceneTree

class Line extends Node2D:
	var font
	var sample
	func _draw():
		draw_string(font, Vector2(16, 16 + font.get_ascent()), sample)

func _init():
	var args = OS.get_cmdline_args()
	var list = args[args.size() - 2]
	var sample = args[args.size() - 1]
	var file = File.new()
	file.open(list, File.READ)
	var viewport = Viewport.new()
	viewport.size = Vector2(1024, 96)
	viewport.transparent_bg = true
	viewport.render_target_update_mode = Viewport.UPDATE_ALWAYS
	viewport.usage = Viewport.USAGE_2D
	get_root().add_child(viewport)
	while not file.eof_reached():
		var fields = file.get_line().split("\t")
		if fields.size() < 2:
			continue
		var font = BitmapFont.new()
		var err = font.create_from_fnt(fields[0])
		if err != OK:
			print("error create_from_fnt %d" % err)
			continue
		if font.get_texture_count() == 0:
			for i in range(2, fields.size()):
				var image = Image.new()
				image.load(fields[i])
				var texture = ImageTexture.new()
				texture.create_from_image(image, 0)
				font.add_texture(texture)
		var line = Line.new()
		line.font = font
		line.sample = sample
		viewport.add_child(line)
		yield(self, "idle_frame")
		yield(VisualServer, "frame_post_draw")
		var image = viewport.get_texture().get_data()
		image.flip_y()
		image.save_png(fields[1])
		line.queue_free()
		print("ok")
	quit()
