-- Triggers and rules. They are created before the data so that the audit tables fill up
-- the way they would in use.

-- Row trigger, before update.
CREATE TRIGGER "社員_更新日時"
    BEFORE UPDATE ON hr."社員"
    FOR EACH ROW EXECUTE FUNCTION hr.set_updated_at();
COMMENT ON TRIGGER "社員_更新日時" ON hr."社員" IS '更新のたびに updated_at を設定する';

-- Row triggers, after insert/delete and after a change of the status (with a condition).
CREATE TRIGGER orders_audit_insert_delete
    AFTER INSERT OR DELETE ON sales.orders
    FOR EACH ROW EXECUTE FUNCTION sales.log_order_change();
CREATE TRIGGER orders_audit_status
    AFTER UPDATE OF status ON sales.orders
    FOR EACH ROW
    WHEN (OLD.status IS DISTINCT FROM NEW.status)
    EXECUTE FUNCTION sales.log_order_change();
COMMENT ON TRIGGER orders_audit_insert_delete ON sales.orders IS '受注の追加と削除を履歴に記録する';
COMMENT ON TRIGGER orders_audit_status ON sales.orders IS '受注の状態の変化を履歴に記録する';

-- Statement triggers, one with a transition table.
CREATE TRIGGER order_lines_log_insert
    AFTER INSERT ON sales.order_lines
    REFERENCING NEW TABLE AS new_rows
    FOR EACH STATEMENT EXECUTE FUNCTION sales.log_line_statement();
CREATE TRIGGER order_lines_log_change
    AFTER UPDATE OR DELETE OR TRUNCATE ON sales.order_lines
    FOR EACH STATEMENT EXECUTE FUNCTION sales.log_line_statement();
COMMENT ON TRIGGER order_lines_log_insert ON sales.order_lines IS '文単位で追加件数を記録する';

-- Row trigger on a partitioned table (cloned onto every partition).
CREATE TRIGGER stock_movements_check
    BEFORE INSERT OR UPDATE ON inventory.stock_movements
    FOR EACH ROW EXECUTE FUNCTION inventory.check_stock_movement();

-- A deferred constraint trigger: an invoice must bill what the order is worth, checked at commit.
CREATE FUNCTION "経理"."請求額の確認"()
    RETURNS trigger
    LANGUAGE plpgsql
    AS $$
    BEGIN
        IF NEW."金額" <> (SELECT total FROM sales.orders WHERE order_id = NEW.order_id) THEN
            RAISE EXCEPTION '請求書 % の金額が受注 % の合計と一致しません', NEW."請求番号", NEW.order_id;
        END IF;
        RETURN NULL;
    END
    $$;
COMMENT ON FUNCTION "経理"."請求額の確認"() IS '請求金額と受注合計の一致を確認するトリガー関数';
CREATE CONSTRAINT TRIGGER "請求額の確認"
    AFTER INSERT OR UPDATE OF "金額", order_id ON "経理"."請求書"
    DEFERRABLE INITIALLY DEFERRED
    FOR EACH ROW EXECUTE FUNCTION "経理"."請求額の確認"();

-- Guards that keep the archive read-only; the one on the memo table is switched off.
CREATE FUNCTION "Archive"."Reject Change"()
    RETURNS trigger
    LANGUAGE plpgsql
    AS $$
    BEGIN
        RAISE EXCEPTION '保管データ % は変更できません', TG_TABLE_NAME;
    END
    $$;
COMMENT ON FUNCTION "Archive"."Reject Change"() IS '保管データの変更を拒否するトリガー関数';

CREATE TRIGGER "Read Only Guard"
    BEFORE INSERT OR UPDATE OR DELETE ON "Archive"."Orders 2019"
    FOR EACH ROW EXECUTE FUNCTION "Archive"."Reject Change"();
CREATE TRIGGER "Read Only Guard"
    BEFORE INSERT OR UPDATE OR DELETE ON "Archive"."Memo ""Draft"""
    FOR EACH ROW EXECUTE FUNCTION "Archive"."Reject Change"();
ALTER TABLE "Archive"."Memo ""Draft""" DISABLE TRIGGER "Read Only Guard";

-- Rules: the audit table cannot be changed, and a change of a customer's rank is noted.
CREATE RULE order_audit_no_delete AS
    ON DELETE TO sales.order_audit
    DO INSTEAD NOTHING;
CREATE RULE order_audit_no_update AS
    ON UPDATE TO sales.order_audit
    DO INSTEAD NOTHING;
COMMENT ON RULE order_audit_no_delete ON sales.order_audit IS '変更履歴の削除を無視する';

CREATE RULE "顧客ランク変更" AS
    ON UPDATE TO sales.customers
    WHERE OLD.rank IS DISTINCT FROM NEW.rank
    DO ALSO
        INSERT INTO sales."ContactHistory" (customer_id, "ContactedAt", "user", channel, "Summary")
        VALUES (NEW.customer_id, localtimestamp, current_user, 'Web',
                'ランク変更: ' || OLD.rank || ' → ' || NEW.rank);
COMMENT ON RULE "顧客ランク変更" ON sales.customers IS '顧客ランクの変更を連絡履歴に残す';
